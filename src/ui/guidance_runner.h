// Threshold guidance off the window's thread: each request computes what
// the form's threshold gives (pipeline/guidance.h) on a worker thread, one
// at a time; a request made while one runs replaces any waiting one, so the
// window shows the figures of its latest values without waiting for them.
// The composition of a target (for the genome-composition background) is
// read once per target.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "options/options.h"
#include "pipeline/guidance.h"
#include "seqio/sequence.h"

class QThread;

namespace xoprex::ui {

struct GuidanceRequest {
    std::string collectionPath;
    Options options;
    // The target whose composition is the background when
    // options.backgroundFromGenome (empty: uniform).
    std::string targetPath;
};

class GuidanceRunner : public QObject {
    Q_OBJECT
  public:
    explicit GuidanceRunner(QObject* parent = nullptr);
    ~GuidanceRunner() override;

    void request(const GuidanceRequest& request);
    bool busy() const { return thread_ != nullptr; }

  signals:
    // The figures of the latest request, or the reason there are none.
    void computed(std::optional<xoprex::ThresholdGuidance> guidance, const QString& problem);

  private:
    void start();
    void work(const GuidanceRequest& request);
    void onThreadFinished();
    // The background of `request` (null: uniform); worker thread only.
    const SequenceRecord* background(const GuidanceRequest& request);

    QThread* thread_ = nullptr;
    std::optional<GuidanceRequest> waiting_;
    // Written by the worker, read after it has ended.
    std::optional<ThresholdGuidance> result_;
    QString problem_;
    std::string compositionPath_;
    std::unique_ptr<SequenceRecord> composition_;  // null: several records
};

}  // namespace xoprex::ui
