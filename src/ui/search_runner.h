// Runs one search on a worker thread so the window stays responsive. The
// worker only collects the run-log lines and the progress; a timer on the
// window's thread hands them on a few times a second (a target of thousands
// of records writes hundreds of thousands of lines). finished() arrives on
// the window's thread once the worker has ended, after the last lines.
// Destroying the runner during a search cancels it and waits for the end.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "pipeline/run_search.h"

class QThread;
class QTimer;

namespace xoprex::ui {

// How a search ended.
enum class SearchEnd { Done, Fatal, Cancelled, Failed };

class SearchRunner : public QObject {
    Q_OBJECT
  public:
    using SearchFunction = std::function<std::string(const SearchInputs&, const SearchControl&)>;

    // Lines handed on at once at most: older lines of a batch give way to
    // one line counting them (the log file has every line).
    static constexpr int kMaxBatchLines = 1000;
    static constexpr int kDeliveryMs = 200;

    explicit SearchRunner(SearchFunction search, QObject* parent = nullptr);
    ~SearchRunner() override;

    // False when a search is already running.
    bool start(const SearchInputs& inputs);
    // Asks the running search to stop at its next check.
    void cancel();
    bool running() const { return thread_ != nullptr; }

  signals:
    // Run-log lines written since the last batch, in order.
    void linesWritten(const QStringList& lines);
    // Share of the scan done, in thousandths.
    void progressed(int perMille);
    // `text` is the results file name (Done) or the message (Fatal, Failed).
    void finished(xoprex::ui::SearchEnd end, const QString& text);

  private:
    void work(const SearchInputs& inputs);
    void deliver();
    void onThreadFinished();

    SearchFunction search_;
    QThread* thread_ = nullptr;
    QTimer* delivery_ = nullptr;
    std::atomic<bool> cancel_{false};
    std::atomic<int> perMille_{-1};
    int shownPerMille_ = -1;
    std::mutex linesMutex_;
    QStringList pendingLines_;
    qsizetype droppedLines_ = 0;
    // Written by the worker, read after it has ended.
    SearchEnd end_ = SearchEnd::Done;
    QString text_;
};

}  // namespace xoprex::ui
