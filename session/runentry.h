// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run entry: an XDG autostart entry that starts the program at the next
// login with a results file as its first argument, so a test that ended with
// the session is shown afterwards.
#include <QString>
#include <QStringList>

namespace ampero {

// The title the entry is written under.
inline constexpr char RunEntryName[] = "Orvex Ampero";

// Full path of the running program's file (/proc/self/exe resolved).
QString ownExecutablePath();

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when XDG_CONFIG_HOME is
// unset, empty or not absolute.
QString autostartDirectory();

// The entry's file name for a title: "Orvex Ampero" gives
// "orvex-ampero.desktop", and "orvex-ampero-once.desktop" for a run-once
// entry.
QString runEntryFileName(const QString& name, bool once);

// One argument of a desktop entry's Exec line: enclosed in double quotes,
// with ", `, $ and \ escaped by a backslash and % doubled, so that it reaches
// the started program unchanged whatever it holds.
QString quoteExecArgument(const QString& argument);

// A results file's path as a file:// URL whose path is percent-encoded down
// to the unreserved characters (letters, digits, - . _ ~) and "/": nothing
// in it needs quoting in an Exec line, whichever launcher reads it (the
// autostart generators of systemd parse Exec lines their own way). The path
// is the file system's bytes, so names that are not UTF-8 survive too. A
// relative path is taken from the current folder.
QString resultsFileUrl(const QByteArray& path);

// A results file named on the command line: a file:// URL (with an empty
// host or "localhost") becomes the path it encodes, as bytes; anything else
// is a path already and is returned as it is.
QByteArray resultsFileFromArgument(const QByteArray& argument);

// True for a file:// URL whose percent-encoding is broken: a "%" that two
// hexadecimal digits do not follow. Such an argument names no file; it is
// refused rather than decoded into some other name.
bool isMalformedFileUrl(const QByteArray& argument);

// The Exec command that starts `executable` with the results file as its
// first and only argument: the program quoted, the file as a file:// URL
// (its "%" doubled, as the Exec rules ask).
QString runCommand(const QString& executable, const QByteArray& resultsFile);
QString runCommand(const QString& executable, const QString& resultsPath);

// A value as a desktop entry's string: \ as \\, newline as \n, tab as \t,
// carriage return as \r, and a leading blank as \s.
QString escapeDesktopString(const QString& value);

// Reverses escapeDesktopString.
QString unescapeDesktopString(const QString& value);

// Splits an Exec value (already string-unescaped) into the program and its
// arguments as a launcher does: %% becomes %, other field codes are dropped,
// then blanks separate arguments and double quotes group them. Returns an
// empty list for a line a launcher would reject (an open quote).
QStringList parseExecLine(const QString& exec);

// Writes the autostart entry `name` with `command` as its Exec
// line, replacing an entry of the same name. once = true writes an entry the
// program removes when it starts from it (removeRunOnceEntryIfStartedFromIt);
// once = false an entry that stays. `directory` empty means
// autostartDirectory(). Returns false with a reason in *error when the
// directory cannot be created or the file cannot be written; an existing
// entry is then left as it was.
bool writeRunEntry(const QString& name, const QString& command, bool once, QString* error = nullptr,
    const QString& directory = {});

// The path of the entry file writeRunEntry writes.
QString runEntryPath(const QString& name, bool once, const QString& directory = {});

// Call at start-up with the first command-line argument (empty for none):
// when a run-once entry of ours exists whose Exec line starts a program with
// that same first argument, this start is the one the entry made, and the
// entry is removed. Returns true when it was removed.
bool removeRunOnceEntryIfStartedFromIt(const QString& firstArgument, const QString& directory = {});

} // namespace ampero
