#pragma once

// What `git diff` does to the current side of a file before comparing it: the end-of-line
// conversion of the `text`, `eol` and `crlf` attributes and of core.autocrlf, which turns CRLF into
// LF the way `git add` would. The attributes are read with `git check-attr`, which starts no program;
// the conversion is done here, so no filter the repository names ever runs.

#include <QByteArray>

enum class EolConversion {
    None, // binary, -text, or nothing set
    Text, // text / eol=…: every CRLF becomes LF
    Auto, // text=auto / core.autocrlf: the same, when the content looks like text and its indexed
          // version holds no CRLF
};

// The attribute values as `git check-attr` prints them ("set", "unset", "unspecified" or a value)
// and core.autocrlf as configured ("" when unset).
EolConversion eolConversionOf(const QByteArray& text, const QByteArray& crlf, const QByteArray& eol,
                              const QByteArray& autocrlf);

// Whether text=auto would leave content alone because the indexed version already has CRLF in it.
bool hasCrlfAsText(const QByteArray& indexed);

// `bytes` converted as git does for `conversion`; `indexHasCrlf` from hasCrlfAsText on the index's
// version of the file.
QByteArray toGitLineEndings(const QByteArray& bytes, EolConversion conversion, bool indexHasCrlf);
