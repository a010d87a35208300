// The communication log behind the main window's memo memLog: every command written and every
// piece of text received, line by line. It costs time in proportion to what arrives, whatever the
// phone sends: the memo keeps only the last LogTailSize characters and LogLines lines, breaks a
// line that runs on for LogLineMax characters, takes new text at its end without rewriting what
// it holds, and lays its text out only while it is shown. While shown, it takes what arrived a few
// times a second; while hidden, at once, or at the end of a hold.
#pragma once

#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <cstddef>
#include <string>

class QPlainTextEdit;
class QTimer;
class QTextDocument;
class TLogLayout;

constexpr std::size_t LogTailSize = 1u << 20;  // characters the log keeps
constexpr int LogLines = 20000;                // lines the log keeps (a full listing is some 520)
constexpr int LogLineMax = 512;                // characters of one line as the log shows it
constexpr int LogHeldMax = 1 << 16;            // characters a held log lets wait

class TCommLog : public QObject {
 public:
  // Takes over the memo's document; the memo must be hidden or shown through setVisible.
  explicit TCommLog(QPlainTextEdit* Memo);

  // Appends text in code page 1252 as it was written or received. CR, LF and CR LF each end a
  // line, also when a CR LF pair is split between two calls.
  void Append(const std::string& Text);

  // While held, what arrives for the hidden memo waits, and goes in when the hold ends, when the
  // memo is shown, or once LogHeldMax characters wait: a reply in a few insertions rather than one
  // for every piece of it.
  void SetHeld(bool Held);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void Flush();  // what arrived into the memo
  void ScrollToEnd();

  QPlainTextEdit* FMemo;
  QTextDocument* FDocument;
  TLogLayout* FLayout;
  QTimer* FFlush;
  QTextCursor FEnd;  // inserts at the end of the document
  QTextCharFormat FFormat;
  QString FPending;             // arrived while the memo is shown, not yet in it
  std::size_t FCharacters = 0;  // in the document
  int FLineLength = 0;          // characters since the last line break
  bool FAfterCR = false;
  bool FHeld = false;
};
