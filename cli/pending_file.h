// pending_file.h - writing an output file so that a failure leaves nothing.
//
// The output is written under a temporary name beside its final one and
// flushed to the disk and renamed into place by Commit(); a PendingFile that goes away uncommitted
// (an error was thrown) removes the temporary file. A failed run therefore
// leaves neither a partial file nor a damaged earlier one.
#ifndef KORU_CLI_PENDING_FILE_H
#define KORU_CLI_PENDING_FILE_H

#include <string>

namespace koru_cli {

class PendingFile {
public:
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& TempPath() const { return temp_; }
    const std::string& Target() const { return target_; }
    // Renames the temporary file to the target; throws CliError on failure.
    void Commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

// Ctrl-C (SIGINT), SIGTERM and SIGHUP end the program as they would, after
// removing the temporary file of a PendingFile being written: an interrupted
// save leaves the earlier file whole and nothing beside it. Training holds no
// file open, so an interrupt there leaves nothing either.
void RemoveTempFilesOnStopSignals();

// While a StopWindow lives (`koru train` around its training), the first
// SIGINT or SIGTERM does not end the program: it asks the training to stop
// (StopRequested), which it does after its current epoch, keeping its best
// net so far. A second signal, or one outside the window, ends the program
// as above.
class StopWindow {
public:
    StopWindow();
    ~StopWindow();
    StopWindow(const StopWindow&) = delete;
    StopWindow& operator=(const StopWindow&) = delete;
};
bool StopRequested();
// The signal that asked for the stop (SIGINT or SIGTERM), or 0.
int StopSignal();
// What the handler does; callable directly.
void RemovePendingTempFile();

// " (the system's text for `error`)", or nothing for 0.
std::string SystemReason(int error);

// Writes `text` as the whole of `fileName` through a PendingFile; throws
// CliError "FILE: cannot write the file" when it cannot.
void WritePendingFile(const std::string& fileName, const std::string& text);

}  // namespace koru_cli

#endif
