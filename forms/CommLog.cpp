#include "forms/CommLog.h"

#include <QEvent>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "forms/Cp1252String.h"

// The memo's own layout, held back while the memo is hidden: laying out text nobody sees is what
// made a long line cost more with every arrival. Once shown, one pass over the blocks makes the
// layout whole again, and the blocks on screen are laid out as they are painted.
class TLogLayout : public QPlainTextDocumentLayout {
 public:
  using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

  void SetHeld(bool Held) {
    FHeld = Held;
    if (!FHeld && FChanged) {
      FChanged = false;
      QPlainTextDocumentLayout::documentChanged(0, 0, document()->characterCount());
    }
  }

 protected:
  void documentChanged(int From, int CharsRemoved, int CharsAdded) override {
    if (FHeld) {
      // A block laid out before (on demand, for a cursor) keeps no layout of its old text.
      FChanged = true;
      QTextBlock block = document()->findBlock(From);
      if (block.isValid()) block.clearLayout();
      return;
    }
    QPlainTextDocumentLayout::documentChanged(From, CharsRemoved, CharsAdded);
  }

 private:
  // Held from the start: a memo created hidden lays out nothing until it is first shown.
  bool FHeld = true;
  bool FChanged = true;
};

TCommLog::TCommLog(QPlainTextEdit* Memo) : QObject(Memo), FMemo(Memo) {
  FDocument = new QTextDocument(Memo);
  FLayout = new TLogLayout(FDocument);
  FDocument->setDocumentLayout(FLayout);
  // A log is never undone: an undo stack would keep every piece of text for ever.
  FDocument->setUndoRedoEnabled(false);
  FDocument->setDefaultFont(Memo->font());
  Memo->setDocument(FDocument);
  FEnd = QTextCursor(FDocument);
  FFormat = FEnd.charFormat();
  FLayout->SetHeld(!Memo->isVisible());
  Memo->installEventFilter(this);
  // While shown, the log takes what arrived a few times a second, not at every arrival: each
  // change lays out and paints the lines on screen.
  FFlush = new QTimer(this);
  FFlush->setSingleShot(true);
  FFlush->setInterval(50);
  connect(FFlush, &QTimer::timeout, this, &TCommLog::Flush);
}

bool TCommLog::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == FMemo) {
    if (Event->type() == QEvent::Show) {
      FLayout->SetHeld(false);
      Flush();
      ScrollToEnd();
    } else if (Event->type() == QEvent::Hide) {
      FLayout->SetHeld(true);
      Flush();
    }
  }
  return QObject::eventFilter(Watched, Event);
}

void TCommLog::ScrollToEnd() {
  QScrollBar* bar = FMemo->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void TCommLog::Append(const std::string& Text) {
  if (Text.empty()) return;
  const QString text = Cp1252ToQString(Text);
  QString piece;
  piece.reserve(text.size() + text.size() / LogLineMax + 1);
  for (const QChar c : text) {
    if (c == u'\n' && FAfterCR) {
      FAfterCR = false;
      continue;
    }
    FAfterCR = c == u'\r';
    if (c == u'\r' || c == u'\n') {
      piece += QChar(u'\n');
      FLineLength = 0;
      continue;
    }
    if (FLineLength == LogLineMax) {
      // A line without end is shown in pieces, so that no line costs more to lay out than this.
      piece += QChar(u'\n');
      FLineLength = 0;
    }
    piece += c;
    ++FLineLength;
  }
  if (piece.isEmpty()) return;
  FPending += piece;
  if (FPending.size() >= (FHeld ? LogHeldMax : static_cast<qsizetype>(LogTailSize)) || (!FHeld && !FMemo->isVisible()))
    Flush();
  else if (FMemo->isVisible() && !FFlush->isActive())
    FFlush->start();
}

void TCommLog::SetHeld(bool Held) {
  FHeld = Held;
  if (!FHeld && !FMemo->isVisible()) Flush();
}

void TCommLog::Flush() {
  FFlush->stop();
  if (FPending.isEmpty()) return;
  // While the memo is hidden nobody follows the document's signals: the memo catches up when
  // shown, as its layout does.
  QSignalBlocker quiet(FDocument);
  if (FMemo->isVisible()) quiet.unblock();
  // Inside an edit block, and placed rather than moved, the cursor does not lay out its line to
  // learn where it stands. The log's text has one format: it is not looked up at every insertion.
  FEnd.beginEditBlock();
  FEnd.setPosition(FDocument->characterCount() - 1);
  FEnd.insertText(FPending, FFormat);
  FEnd.endEditBlock();
  FCharacters += static_cast<std::size_t>(FPending.size());
  FPending.clear();

  if (FCharacters > LogTailSize + LogTailSize / 4 || FDocument->blockCount() > LogLines + LogLines / 4) {
    // Only the tail is kept, in characters and in lines (a flood of short lines costs more per
    // character); it is cut at the start of a line, in one piece now and then, so that cutting
    // costs as little per character as appending.
    int cut = 0;
    if (FCharacters > LogTailSize) {
      const QTextBlock first = FDocument->findBlock(static_cast<int>(FCharacters - LogTailSize));
      if (first.isValid() && first.next().isValid()) cut = first.next().position();
    }
    if (FDocument->blockCount() > LogLines)
      cut = std::max(cut, FDocument->findBlockByNumber(FDocument->blockCount() - LogLines).position());
    if (cut > 0) {
      QTextCursor head(FDocument);
      head.beginEditBlock();
      head.setPosition(cut, QTextCursor::KeepAnchor);
      head.removeSelectedText();
      head.endEditBlock();
    }
    FCharacters = static_cast<std::size_t>(FDocument->characterCount() - 1);
  }
  if (FMemo->isVisible()) ScrollToEnd();
}
