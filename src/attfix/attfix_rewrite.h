// The text side of attfix: which header lines carry an attachment file name,
// how that name loses its drive and directories, and where the rewritten
// copy is written. Nothing here touches a file.
#pragma once

#include <cstddef>
#include <string>

namespace attfix {

// A line longer than this is handled as consecutive pieces of at most this
// many bytes, each one tested and rewritten as a line of its own.
constexpr std::size_t kPieceLength = 254;

// Name of the rewritten copy, made beside the input before it replaces it.
extern const char* const kTemporaryName;

// Position of the first occurrence of `needle` in `line`, ignoring letter
// case; std::string::npos when there is none.
std::size_t findNoCase(const std::string& line, const std::string& needle,
                       std::size_t from = 0);

// Removes drive and directories from the attachment file name of one line
// (or piece) when the line is one of the known header forms; every other
// line stays as it is. Bytes other than the matched text are kept exactly,
// NUL bytes included. Returns whether the line changed.
bool fixAttachmentLine(std::string& line);

// The path of the temporary file in the directory of `inputPath`: the input
// path cut after its last backslash or slash, then kTemporaryName. False
// when the path holds no separator at all.
bool temporaryPathFor(const std::string& inputPath, std::string& temporaryPath);

}  // namespace attfix
