// The memo a report is written into: fixed-pitch lines, both scroll bars, no wrapping, tens of
// thousands of lines added without a stall, and saved as a text file.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <string>
#include <string_view>

namespace pavo::app::kit {

class ReportMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    // Read-only for the user; the report writes it.
    ReportMemo(QWidget* parent, const std::string& name);

    // Adds one line at the end. Lines are gathered and handed to the document in blocks, so adding
    // costs no layout per line; they are shown once the event loop runs or the block fills, and
    // every reading call below sees them all.
    void add_line(std::string_view line);
    // Hands the gathered lines to the document now.
    void flush();
    // Removes every line.
    void clear_lines();

    int line_count();
    // Line n (0-based), "" past the end.
    std::string line(int n);

    // Writes the memo through pavo::LineWriter to path (logical or host): one line per memo line,
    // CR LF, the file appearing whole or not at all. Throws pavo::Error as the writer does.
    void save_to_file(const std::string& path);

  private:
    QString pending_;
    int pending_lines_ = 0;
    bool flush_queued_ = false;
    bool empty_ = true;  // the document holds no line yet (an empty document has one empty block)
};

}  // namespace pavo::app::kit
