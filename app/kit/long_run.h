// Scans of tens of thousands of records on the user-interface thread: the progress text paced to
// the eye, paint and the Cancel button's click handled between records, no other input, and a
// cancelled run leaving its tables as they were.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/kit/widgets.h"
#include "tables/table.h"

namespace pavo::app::kit {

class LongRun {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // How often at most the progress text changes (and waiting events are handled).
    static constexpr std::chrono::milliseconds kPace{50};

    // cancel: the button whose click stops the run (nullptr: the run cannot be stopped); the
    // progress text "<reached> of <N>" goes to the status bar or label given. While a run handles
    // events no window of the program closes.
    LongRun(QAbstractButton* cancel, ProgressStatusBar* status);
    LongRun(QAbstractButton* cancel, QLabel* label);

    // Runs step(0) .. step(count - 1) inside one tables::Transaction over tables. Between steps,
    // at most every kPace, it shows the progress and handles waiting paint and timer events and
    // the Cancel button's click; every other key, click or close waiting then is dropped (a window
    // a step opens gets its input as usual).
    // The final figure is always shown. Returns true when every step ran and the transaction
    // committed; false when Cancel was clicked: the transaction is rolled back and the tables are
    // as they were before the run. A step's error rolls the transaction back too, and is thrown on.
    // The Cancel button is enabled during the run and given back its state afterwards.
    bool run(const std::vector<tables::Table*>& tables, int count,
             const std::function<void(int index)>& step);

    // Runs an operation that walks its records itself and reports (reached, count) through the
    // callback it is handed, as many computations of the records module do. The callback paces,
    // gates and shows progress as run() does between steps, and returns false once Cancel was
    // clicked, which the operation takes as its sign to stop and change nothing. No transaction
    // is opened here: the operation keeps its own all-or-nothing rule. Returns false when
    // cancelled; an error of the operation is thrown on.
    using Reporter = std::function<bool(long long reached, long long count)>;
    bool run_reporting(const std::function<void(const Reporter& progress)>& operation);

    // True after Cancel was clicked during the current or last run.
    bool cancelled() const { return cancelled_; }
    // For tests: the time source of the pacing (the steady clock by default).
    void set_clock(Clock clock) { clock_ = std::move(clock); }
    // Times the progress text was shown in the last run.
    int progress_shown() const { return shown_; }

  private:
    void show(int reached, int count);

    QAbstractButton* cancel_;
    std::function<void(const std::string&)> show_text_;
    Clock clock_;
    bool cancelled_ = false;
    int shown_ = 0;
};

}  // namespace pavo::app::kit
