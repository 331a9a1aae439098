// attfix <message file>: strips drive and directories from the attachment
// file names in the MIME header lines of one message file, in place.
//
// attfix --version shows the package's product lines and exits with 0.
//
// Exit status: 0 rewritten; 1 wrong argument count, a path without a
// directory part, or an input that cannot be opened; 2 the temporary file
// cannot be created; 3 the rewritten copy could not be completed or put in
// place, in which case the message is left exactly as it was.

#include "attfix_file.h"
#include "attfix_rewrite.h"
#include "product.h"

#include <algorithm>
#include <string>

namespace {

enum ExitStatus { kDone = 0, kBadArguments = 1, kNoTemporary = 2, kNotReplaced = 3 };

std::string argumentText(const char* argument) { return argument ? argument : "(null)"; }

// The copy never took the message's place: drop it and say why.
int abandon(const char* failedStep, const std::string& temporaryPath, const std::string& inputPath) {
    attfix::removeFile(temporaryPath);
    attfix::printText(failedStep + temporaryPath + " (" + attfix::lastFailure() + "); " + inputPath +
                      " is left unchanged\n");
    return kNotReplaced;
}

// The lines exactly as the archiver's banner shows them (its console turns
// every slash into a backslash), so that both programs of the package agree.
void printVersion() {
    std::string text = std::string(VELMOR_PRODUCT_LINE) + "\n" + VELMOR_VERSION_LINE + "\n";
    std::replace(text.begin(), text.end(), '/', '\\');
    attfix::printText(text);
}

}  // namespace

int main(int argc, char** argv) {
    // Written before anything is checked, so that every start leaves a trace.
    attfix::writeTraceFile("test.out", "input file: " + argumentText(argc > 1 ? argv[1] : nullptr) + "  " +
                                           argumentText(argc > 2 ? argv[2] : nullptr) + "\n");
    if (argc != 2) return kBadArguments;
    // No message path can be mistaken for it: a path needs a directory part.
    if (std::string(argv[1]) == "--version") {
        printVersion();
        return kDone;
    }

    const std::string inputPath = argv[1];
    attfix::printText("Input file: " + inputPath + "\n");

    std::string temporaryPath;
    if (!attfix::temporaryPathFor(inputPath, temporaryPath)) {
        attfix::printText("Not a complete path\n");
        return kBadArguments;
    }
    attfix::printText("New file name: " + temporaryPath + "\n");

    attfix::InputFile input;
    if (!input.open(inputPath)) {
        attfix::printText("Fopen failed for : " + inputPath + "\n");
        return kBadArguments;
    }
    // A message that is itself named like the temporary file must not be
    // truncated by creating it.
    attfix::OutputFile output;
    if (input.isSameFileAs(temporaryPath) || !output.create(temporaryPath, input)) {
        attfix::printText("Fopen failed for new file: " + temporaryPath + "\n");
        return kNoTemporary;
    }

    std::string piece;
    bool written = true;
    while (written) {
        attfix::InputFile::Read result = input.readPiece(piece, attfix::kPieceLength);
        if (result == attfix::InputFile::Read::End) break;
        if (result == attfix::InputFile::Read::Failed) {
            attfix::printText("Read failed for : " + inputPath + " (" + attfix::lastFailure() +
                              "); the file is left unchanged\n");
            attfix::removeFile(temporaryPath);
            return kNotReplaced;
        }
        attfix::fixAttachmentLine(piece);
        written = output.write(piece);
    }
    if (!written || !output.finish()) return abandon("Write failed for new file: ", temporaryPath, inputPath);
    input.close();
    if (!attfix::replaceFile(temporaryPath, inputPath))
        return abandon("Rename failed for new file: ", temporaryPath, inputPath);
    return kDone;
}
