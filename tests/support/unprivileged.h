// POSIX only: running part of a test as a user without privileges, even when the tests run
// as root, for what the system refuses such a user.
#pragma once

#include <functional>
#include <string>

// Runs what in a child process as uid and gid 65534 with no supplementary groups (as the
// current user when that is not root) and gives back the text it returned. False with the
// reason in text when the child could not drop its privileges or did not finish.
bool RunUnprivileged(const std::function<std::string()>& what, std::string& text);
