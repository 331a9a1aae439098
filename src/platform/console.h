// Keys from the console. When standard input is not a console (a pipe or a
// file, as under a scheduler), keys are its plain bytes and the end of
// input reads as -1, so that the caller can take the answer that does
// least harm.
#pragma once

namespace platform {

bool standardInputIsTerminal();
// True when a key is waiting at the console; on another input, true when
// a byte can be read without blocking.
bool keyWaiting();
// One key without Enter and without echo (a plain byte when standard input
// is not a console). -1 at end of input.
int readKey();

}  // namespace platform
