#include "ui/search_runner.h"

#include <QThread>
#include <new>

#include "base/errors.h"

namespace xoprex::ui {

SearchRunner::SearchRunner(SearchFunction search, QObject* parent)
    : QObject(parent), search_(std::move(search)) {}

SearchRunner::~SearchRunner() {
    if (thread_ != nullptr) {
        cancel_ = true;
        thread_->wait();
        delete thread_;
    }
}

bool SearchRunner::start(const SearchInputs& inputs) {
    if (thread_ != nullptr) {
        return false;
    }
    cancel_ = false;
    lastPerMille_ = -1;
    thread_ = QThread::create([this, inputs] { work(inputs); });
    connect(thread_, &QThread::finished, this, &SearchRunner::onThreadFinished,
            Qt::QueuedConnection);
    thread_->start();
    return true;
}

void SearchRunner::cancel() {
    cancel_ = true;
}

void SearchRunner::work(const SearchInputs& inputs) {
    SearchControl control;
    control.cancel = &cancel_;
    control.onLine = [this](const std::string& line) {
        emit lineWritten(QString::fromStdString(line));
    };
    control.onProgress = [this](double share) {
        // Only a change of a thousandth is worth a repaint.
        const int perMille = static_cast<int>(share * 1000.0);
        if (lastPerMille_.exchange(perMille) != perMille) {
            emit progressed(perMille);
        }
    };
    try {
        text_ = QString::fromStdString(search_(inputs, control));
        end_ = SearchEnd::Done;
    } catch (const InputError& error) {
        reportFatal(error);
        end_ = SearchEnd::Fatal;
        text_ = QString::fromStdString(error.what());
    } catch (const SearchCancelled&) {
        end_ = SearchEnd::Cancelled;
        text_.clear();
    } catch (const std::bad_alloc&) {
        end_ = SearchEnd::Failed;
        text_ = QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        end_ = SearchEnd::Failed;
        text_ = QString::fromStdString(error.what());
    } catch (...) {
        end_ = SearchEnd::Failed;
        text_ = QStringLiteral("The search stopped on an unexpected error.");
    }
}

void SearchRunner::onThreadFinished() {
    if (thread_ == nullptr) {
        return;
    }
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    emit finished(end_, text_);
}

}  // namespace xoprex::ui
