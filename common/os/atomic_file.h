// Replacing a file's content at once: the new content is written to a file
// beside the old one and renamed over it, so that a reader, a crash or a
// kill sees either the old file or the new one, never a part.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

// Writes all of data to fd, going on after interruptions.
bool WriteAllTo(int fd, std::string_view data);

// The file that path stands for once symbolic links are followed (the last
// target need not exist yet). A replace goes there, so that a link that
// the user set up stays a link and its target gets the new content.
std::string FollowLinks(const std::string& path);

// Puts text in place of the file at path (links followed), with mode.
// Returns the new file, still open, or -1 with errno set and path untouched.
int ReplaceFileKeepOpen(const std::string& path, std::string_view text, mode_t mode);

// As above with the mode of the file that is there (0644 for a new one);
// the new file is closed. False with errno set when nothing was replaced.
bool ReplaceFile(const std::string& path, std::string_view text);

// A short German description of an error number, for messages.
std::string GermanErrorText(int error);
