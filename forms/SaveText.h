// A message saved as a labelled text file: the layout, the proposed file name and the writing of
// the file. The layout and the name are pure functions of the record and the program's locale
// (QLocale's default), so tests drive them without a window.
#pragma once

#include <string>
#include <vector>

#include "engine/SMSEngine.h"

class QString;

// A path in the file system's encoding, as the save dialog gives it and WriteTextFile takes it:
// QFile::encodeName on Linux; UTF-8 on Windows, whose UTF-16 names the ANSI code page of
// encodeName cannot hold, and where QFile opens it through the wide API.
std::string FileSystemName(const QString& Path);
QString FileSystemPath(const std::string& Name);

// The whole file in code page 1252: one layout for incoming records (status 0 or 1), one for
// outgoing ones (status 2 or more), every line ending in CR LF, the last one too. A value line the
// layout has no text for (a status it does not name, a validity format other than 0, 2 and 3) is
// left out.
std::string MessageFileText(const SMSEngine::TMessageList& Entry);

// Every message of a list in one file, in list order: each in MessageFileText's layout followed by
// the line "PDU: " and its PDU as the phone listed it, one empty line between two messages. A
// message the codec refused, or whose header could not be read, keeps its heading, its location,
// its status and its PDU. The status reports' entry, which holds no message, is left out.
std::string AllMessagesFileText(const std::vector<SMSEngine::TMessageList>& Messages);

// The file name to propose: "SM from " or "SM to ", the phone book name or else the address, and
// ".txt". Characters a file name cannot hold on the systems the program runs on (/ \ : * ? " < > |
// and control characters) become "_", so the proposal never points into another folder.
std::string ProposedFileName(const SMSEngine::TMessageList& Entry);

// Creates FileName, or empties it when it exists, and writes Bytes as they are. False when creating,
// writing or closing fails, with the system's reason in Reason (code page 1252) when given; what was
// written before a failure stays in the file. FileName is in the file system's encoding.
bool WriteTextFile(const std::string& FileName, const std::string& Bytes, std::string* Reason = nullptr);

// Writes Bytes to FileName through a temporary file beside it that takes the name only once it is
// whole: a failure leaves no half-written file and any earlier file of that name as it was. Reason
// as for WriteTextFile.
bool ReplaceFileContents(const std::string& FileName, const std::string& Bytes, std::string* Reason = nullptr);

// The folder the save dialog opens in (file system encoding): the one a message was last saved to,
// kept in the user's settings across runs, while it still exists; else the user's documents folder
// (the home folder where there is none).
std::string SaveFolder();
// Keeps the folder of FileName (file system encoding) as the one to open in next time.
void RememberSaveFolder(const std::string& FileName);
