#pragma once

#include <QFile>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ErrorQueue.h"
#include "InstrumentLine.h"
#include "SetupFile.h"

// Setups between an instrument and a file, for the panel and for
// r6140k-ctl alike: reading every setting back, writing a file only once all
// of them were read, and checking a whole file before any of it is sent.
namespace session {

struct ReadBack {
    instrument::SettingValues values {};
    std::string problem; // the setting whose read failed and how; empty when all were read
};

// Queries every setting in the table's order; stops at the first that has no
// usable value (READ TIMEOUT, READ ERROR, not a number).
ReadBack readSettings(InstrumentLine& line);

// The notes of a file saved now by this program: identity and port as given,
// the time in UTC, the application's name and version.
instrument::SetupNotes notesOfNow(const std::string& identity, const std::string& port);

// Writes the text in place of path, atomically: a temporary file in the same
// folder, renamed over path once complete. Empty on success, else why not;
// on failure any file at path is left as it was.
std::string writeSetupFile(const QString& path, const std::string& text);

// The setup file of the instrument as it stands: every setting read, then
// formatted with the notes; empty, and why in problem, when a read failed.
std::string currentSetup(InstrumentLine& line, const instrument::SetupNotes& notes, std::string* problem);

// Reads every setting, then writes the file; nothing is written when a read
// fails. Empty on success, else why not.
std::string saveSetup(InstrumentLine& line, const QString& path, const instrument::SetupNotes& notes);

// Reads and checks a whole file; its problem says why it is refused, an
// unreadable or too large file among the reasons.
instrument::SetupFile readSetupFile(const QString& path);
// The same, from a file open for reading (standard input among them).
instrument::SetupFile readSetup(QFile& file);

// A whole file open for reading, or as much of it as tells that it is larger
// than limit; empty, and why in problem, when it cannot be read.
std::string readAtMost(QFile& file, std::size_t limit, std::string* problem);

// What a load did: what it found in the error queue before it sent
// (someone else's) and after (its own messages'), and the messages that went
// out, in file order.
struct SetupApplied {
    QueuedErrors before;
    QueuedErrors after;
    std::vector<std::string> sent;
    std::size_t total = 0; // the file's messages

    // The instrument may hold part of the setup only: a message could not
    // go out, and nothing was sent after it (the read-back and the queue's
    // asking neither), or all went out but nothing answered after them.
    bool partial() const { return before.failure.empty() && (sent.size() < total || !after.failure.empty()); }
    // For the operator, when partial: "5 of 11 sent: :BAS:SWAP 1, ...; the
    // instrument holds a mix of the old and the new setup".
    std::string partialText() const;
};

// Asks the error queue empty, sends the file's settings in file order, has
// readBack read every setting back, then asks the queue empty again. An
// instrument that does not answer the first asking is sent nothing; a
// message that cannot go out ends the load there.
SetupApplied applySetup(InstrumentLine& line, const instrument::SetupFile& setup, const std::function<void()>& readBack);

} // namespace session
