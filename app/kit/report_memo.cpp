// The report memo.
#include "app/kit/report_memo.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "platform/line_writer.h"

namespace pavo::app::kit {
namespace {

// Lines per hand-over to the document: large enough that the per-call cost vanishes, small enough
// that a long report shows its progress.
constexpr int kBlockLines = 2000;

}  // namespace

ReportMemo::ReportMemo(QWidget* parent, const std::string& name) : QPlainTextEdit(parent) {
    setObjectName(QString::fromStdString(name));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void ReportMemo::add_line(std::string_view line) {
    if (pending_lines_ > 0) pending_ += QChar('\n');
    pending_ += QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    ++pending_lines_;
    if (pending_lines_ >= kBlockLines) {
        flush();
    } else if (!flush_queued_) {
        flush_queued_ = true;
        QTimer::singleShot(0, this, [this] {
            flush_queued_ = false;
            flush();
        });
    }
}

void ReportMemo::flush() {
    if (pending_lines_ == 0) return;
    // One insertion for the whole block: the document lays it out once. The cursor is used
    // rather than appendPlainText, which would join a block to a first line that is empty.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (!empty_) cursor.insertBlock();
    cursor.insertText(pending_);
    cursor.endEditBlock();
    empty_ = false;
    pending_.clear();
    pending_lines_ = 0;
}

void ReportMemo::clear_lines() {
    pending_.clear();
    pending_lines_ = 0;
    empty_ = true;
    clear();
}

int ReportMemo::line_count() {
    flush();
    return empty_ ? 0 : document()->blockCount();
}

std::string ReportMemo::line(int n) {
    flush();
    if (empty_ || n < 0) return {};
    const QTextBlock block = document()->findBlockByNumber(n);
    return block.isValid() ? block.text().toStdString() : std::string();
}

void ReportMemo::save_to_file(const std::string& path) {
    flush();
    LineWriter writer(path);
    if (!empty_) {
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
            writer.write_line(b.text().toStdString());
    }
    writer.close();
}

}  // namespace pavo::app::kit
