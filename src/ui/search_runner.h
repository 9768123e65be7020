// Runs one search on a worker thread so the window stays responsive. The
// run-log lines and the progress reach the window through queued signals;
// finished() arrives on the window's thread once the worker has ended.
// Destroying the runner during a search cancels it and waits for the end.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "pipeline/run_search.h"

class QThread;

namespace xoprex::ui {

// How a search ended.
enum class SearchEnd { Done, Fatal, Cancelled, Failed };

class SearchRunner : public QObject {
    Q_OBJECT
  public:
    using SearchFunction = std::function<std::string(const SearchInputs&, const SearchControl&)>;

    explicit SearchRunner(SearchFunction search, QObject* parent = nullptr);
    ~SearchRunner() override;

    // False when a search is already running.
    bool start(const SearchInputs& inputs);
    // Asks the running search to stop at its next check.
    void cancel();
    bool running() const { return thread_ != nullptr; }

  signals:
    void lineWritten(const QString& line);
    // Share of the scan done, in thousandths.
    void progressed(int perMille);
    // `text` is the results file name (Done) or the message (Fatal, Failed).
    void finished(xoprex::ui::SearchEnd end, const QString& text);

  private:
    void work(const SearchInputs& inputs);
    void onThreadFinished();

    SearchFunction search_;
    QThread* thread_ = nullptr;
    std::atomic<bool> cancel_{false};
    std::atomic<int> lastPerMille_{-1};
    // Written by the worker, read after it has ended.
    SearchEnd end_ = SearchEnd::Done;
    QString text_;
};

}  // namespace xoprex::ui
