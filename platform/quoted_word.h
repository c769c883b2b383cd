#pragma once
#include <string>
#include <string_view>

// A word from a file, quoted for a message on the terminal: control bytes shown
// as \xNN (a file must not be able to move the cursor or recolour the screen),
// and a word of more than 40 bytes cut short with "...", so a line of a
// megabyte does not become a megabyte of message.
std::string quotedWord(std::string_view word);
