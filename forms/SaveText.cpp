#include "forms/SaveText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <string_view>

#include "forms/Cp1252String.h"
#include "forms/ViewFill.h"
#include "rules/ComposeText.h"
#include "rules/MessageStatus.h"

using SMSEngine::TMessageList;

namespace {

class TLines {
 public:
  void Add(const std::string& Line) { FText += Line + "\r\n"; }
  void Add(const QString& Line) { Add(QStringToCp1252(Line)); }
  // A label, its value and the empty line after them; no value line when there is no value.
  void Field(const char* Label, const std::string* Value) {
    Add(std::string(Label));
    if (Value) Add(*Value);
    Add(std::string());
  }
  void Field(const char* Label, const std::string& Value) { Field(Label, &Value); }
  void Field(const char* Label, const QString& Value) { Field(Label, QStringToCp1252(Value)); }
  const std::string& Text() const { return FText; }

 private:
  std::string FText;
};

std::string YesNo(bool Value) { return Value ? "yes" : "no"; }

std::string SCAValue(const std::string& SCA) { return SCA.empty() ? "<Not present>" : SCA; }

std::string AddressValue(const std::string& Address, const std::string& Name) {
  return Name.empty() ? Address : Address + " (" + Name + ")";
}

// The heading, the location (none for an entry without one) and the status (none for a status
// without a name): what every message has, whether its PDU was decoded or not.
void AddHead(TLines& Lines, const TMessageList& Entry) {
  const bool Outgoing = Entry.Status >= SMSEngine::StatusStoredUnsent;
  Lines.Add(std::string(Outgoing ? "OUTGOING MESSAGE" : "INCOMING MESSAGE"));
  Lines.Add(std::string(16, '-'));
  Lines.Add(std::string());
  const std::string Index = std::to_string(Entry.Index);
  Lines.Field("INDEX:", Entry.Index != NoLocation ? &Index : nullptr);
  const std::string Status = StatusText(Entry.Status);
  const bool Named = *StatusName(Entry.Status) != '\0';
  Lines.Field("STATUS:", Named ? &Status : nullptr);
}

}  // namespace

std::string MessageFileText(const TMessageList& Entry) {
  TLines Lines;
  const bool Outgoing = Entry.Status >= SMSEngine::StatusStoredUnsent;
  AddHead(Lines, Entry);
  Lines.Field("SERVICE CENTRE ADDRESS:", SCAValue(Entry.SCA));

  if (Outgoing) {
    Lines.Field("STATUS REPORT REQUESTED:", YesNo(Entry.SRR));
    Lines.Field("REJECT DUPLICATES:", YesNo(Entry.RD));
    Lines.Field("MESSAGE REFERENCE:", std::to_string(Entry.MR));
    Lines.Field("DESTINATION ADDRESS:", AddressValue(Entry.DA, Entry.Name));
    Lines.Field("FLASH MESSAGE:", YesNo(Entry.Flash));
    // The enhanced format, and any unknown one, gets no value line.
    const std::string Validity = QStringToCp1252(ValidityText(Entry));
    const bool Known =
        Entry.VPF == SMSEngine::VPFNone || Entry.VPF == SMSEngine::VPFRelative || Entry.VPF == SMSEngine::VPFAbsolute;
    Lines.Field("VALIDITY PERIOD:", Known ? &Validity : nullptr);
  } else {
    Lines.Field("ORIGINATING ADDRESS:", AddressValue(Entry.OA, Entry.Name));
    Lines.Field("FLASH MESSAGE:", YesNo(Entry.Flash));
    Lines.Field("SERVICE CENTRE TIMESTAMP:", DateTimeText(Entry.SCTS));
  }

  Lines.Add(std::string("TEXT:"));
  Lines.Add(Entry.UD);
  return Lines.Text();
}

std::string AllMessagesFileText(const std::vector<TMessageList>& Messages) {
  std::string Text;
  for (const TMessageList& Entry : Messages) {
    if (Entry.PDU.empty()) continue;
    if (!Text.empty()) Text += "\r\n";
    if (Entry.Decoded && KnownStatus(Entry.Status)) {
      Text += MessageFileText(Entry);
    } else {
      // What the grid shows of it: where it is and its status; the fields were never read.
      TLines Lines;
      AddHead(Lines, Entry);
      Text += Lines.Text();
    }
    Text += "PDU: " + Entry.PDU + "\r\n";
  }
  return Text;
}

std::string ProposedFileName(const TMessageList& Entry) {
  const bool Outgoing = Entry.Status >= SMSEngine::StatusStoredUnsent;
  std::string Who = !Entry.Name.empty() ? Entry.Name : Outgoing ? Entry.DA : Entry.OA;
  for (char& C : Who) {
    const auto Byte = static_cast<unsigned char>(C);
    // 0x7F is DEL; 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for the C1 controls of the same number.
    const bool Control =
        Byte < 0x20 || Byte == 0x7F || Byte == 0x81 || Byte == 0x8D || Byte == 0x8F || Byte == 0x90 || Byte == 0x9D;
    if (Control || std::string_view("/\\:*?\"<>|").find(C) != std::string_view::npos) C = '_';
  }
  return (Outgoing ? "SM to " : "SM from ") + Who + ".txt";
}

std::string FileSystemName(const QString& Path) {
#ifdef Q_OS_WIN
  return Path.toUtf8().toStdString();
#else
  return QFile::encodeName(Path).toStdString();
#endif
}

QString FileSystemPath(const std::string& Name) {
#ifdef Q_OS_WIN
  return QString::fromUtf8(Name);
#else
  return QFile::decodeName(QByteArray::fromStdString(Name));
#endif
}

bool WriteTextFile(const std::string& FileName, const std::string& Bytes, std::string* Reason) {
  QFile File(FileSystemPath(FileName));
  const auto Failed = [&File, Reason] {
    if (Reason) *Reason = QStringToCp1252(File.errorString());
    return false;
  };
  // Unbuffered, so that a write the system refuses fails here and not later in a flush.
  if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return Failed();
  if (File.write(Bytes.data(), static_cast<qint64>(Bytes.size())) != static_cast<qint64>(Bytes.size())) {
    // Told before closing: a close that succeeds forgets the error of the write.
    Failed();
    File.close();
    return false;
  }
  File.close();
  // close() reports no result of its own; a failed close leaves its error on the file.
  if (File.error() != QFileDevice::NoError) return Failed();
  return true;
}

bool ReplaceFileContents(const std::string& FileName, const std::string& Bytes, std::string* Reason) {
  // A file that is not committed goes away with its temporary name.
  QSaveFile File(FileSystemPath(FileName));
  if (File.open(QIODevice::WriteOnly) &&
      File.write(Bytes.data(), static_cast<qint64>(Bytes.size())) == static_cast<qint64>(Bytes.size()) && File.commit())
    return true;
  if (Reason) *Reason = QStringToCp1252(File.errorString());
  return false;
}

std::string SaveFolder() {
  const QSettings Settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pelmo"),
                           QStringLiteral("Pelmo"));
  const QString Last = Settings.value(QStringLiteral("Save/Folder")).toString();
  if (!Last.isEmpty() && QFileInfo(Last).isDir()) return FileSystemName(Last);
  const QString Documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return FileSystemName(QFileInfo(Documents).isDir() ? Documents : QDir::homePath());
}

void RememberSaveFolder(const std::string& FileName) {
  QSettings Settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pelmo"), QStringLiteral("Pelmo"));
  Settings.setValue(QStringLiteral("Save/Folder"), QFileInfo(FileSystemPath(FileName)).absolutePath());
}
