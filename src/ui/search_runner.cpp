#include "ui/search_runner.h"

#include <QThread>
#include <QTimer>
#include <new>

#include "base/errors.h"

namespace xoprex::ui {

SearchRunner::SearchRunner(SearchFunction search, QObject* parent)
    : QObject(parent), search_(std::move(search)), delivery_(new QTimer(this)) {
    delivery_->setInterval(kDeliveryMs);
    connect(delivery_, &QTimer::timeout, this, &SearchRunner::deliver);
}

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
    perMille_ = -1;
    shownPerMille_ = -1;
    thread_ = QThread::create([this, inputs] { work(inputs); });
    connect(thread_, &QThread::finished, this, &SearchRunner::onThreadFinished,
            Qt::QueuedConnection);
    delivery_->start();
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
        const QString text = QString::fromStdString(line);
        const std::lock_guard<std::mutex> lock(linesMutex_);
        if (pendingLines_.size() >= kMaxBatchLines) {
            pendingLines_.removeFirst();
            ++droppedLines_;
        }
        pendingLines_.append(text);
    };
    control.onProgress = [this](double share) {
        perMille_.store(static_cast<int>(share * 1000.0), std::memory_order_relaxed);
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

void SearchRunner::deliver() {
    QStringList lines;
    qsizetype dropped = 0;
    {
        const std::lock_guard<std::mutex> lock(linesMutex_);
        lines.swap(pendingLines_);
        std::swap(dropped, droppedLines_);
    }
    if (dropped > 0) {
        lines.prepend(
            QStringLiteral("[%1 lines left out here: see the run log file]").arg(dropped));
    }
    if (!lines.isEmpty()) {
        emit linesWritten(lines);
    }
    // Only a change of a thousandth is worth a repaint.
    const int perMille = perMille_.load(std::memory_order_relaxed);
    if (perMille != shownPerMille_ && perMille >= 0) {
        shownPerMille_ = perMille;
        emit progressed(perMille);
    }
}

void SearchRunner::onThreadFinished() {
    if (thread_ == nullptr) {
        return;
    }
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    delivery_->stop();
    deliver();
    emit finished(end_, text_);
}

}  // namespace xoprex::ui
