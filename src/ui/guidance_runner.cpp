#include "ui/guidance_runner.h"

#include <QThread>

#include "motif/site_collection.h"

namespace xoprex::ui {

GuidanceRunner::GuidanceRunner(QObject* parent) : QObject(parent) {}

GuidanceRunner::~GuidanceRunner() {
    if (thread_ != nullptr) {
        thread_->wait();
        delete thread_;
    }
}

void GuidanceRunner::request(const GuidanceRequest& request) {
    waiting_ = request;
    if (thread_ == nullptr) {
        start();
    }
}

void GuidanceRunner::start() {
    const GuidanceRequest request = std::move(*waiting_);
    waiting_.reset();
    thread_ = QThread::create([this, request] { work(request); });
    connect(thread_, &QThread::finished, this, &GuidanceRunner::onThreadFinished,
            Qt::QueuedConnection);
    thread_->start();
}

const SequenceRecord* GuidanceRunner::background(const GuidanceRequest& request) {
    if (!request.options.backgroundFromGenome || request.targetPath.empty()) {
        return nullptr;
    }
    if (request.targetPath != compositionPath_) {
        compositionPath_ = request.targetPath;
        composition_.reset();
        try {
            SequenceSet set = readSequences(request.targetPath);
            // As the search: the genome's composition only for one record.
            if (set.records.size() == 1) {
                computeBackgroundComposition(set.records.front());
                composition_ = std::make_unique<SequenceRecord>();
                composition_->backgroundFrequencies = set.records.front().backgroundFrequencies;
                composition_->backgroundEntropy = set.records.front().backgroundEntropy;
            }
        } catch (const std::exception&) {
            // The search reports an unreadable target; until then: uniform.
        }
    }
    return composition_.get();
}

void GuidanceRunner::work(const GuidanceRequest& request) {
    result_.reset();
    problem_.clear();
    try {
        result_ = thresholdGuidance(request.collectionPath, request.options, background(request));
    } catch (const std::exception& error) {
        problem_ = QString::fromStdString(error.what());
    }
}

void GuidanceRunner::onThreadFinished() {
    if (thread_ == nullptr) {
        return;
    }
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    if (waiting_) {
        start();  // newer values: only their figures are worth showing
        return;
    }
    emit computed(result_, problem_);
}

}  // namespace xoprex::ui
