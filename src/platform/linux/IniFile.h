#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <optional>
#include <vector>

// The text form of one settings file. Lines are kept as they stand (comments,
// blank lines, unknown sections and idents survive a rewrite); a value runs
// from after the first '=' to the end of the line, untrimmed, with "\\", "\n",
// "\r" and "\0" as the only escapes, so that any text survives a save. A UTF-8
// byte-order mark at the start is accepted and kept, and so is each line's end
// (LF or CRLF; new lines take the first line's). Text that is not UTF-8 is
// read as Windows-1252.
class IniDocument {
public:
    // Parses a whole file; raises ERegistryException naming the line that is
    // neither a [section], an ident=value, a comment nor blank.
    static IniDocument parse(const QByteArray& bytes, const QString& fileName);

    // std::nullopt when the ident is absent. Raises ERegistryException when the
    // stored value holds an unknown escape.
    std::optional<QString> value(const QString& section, const QString& ident) const;
    void setValue(const QString& section, const QString& ident, const QString& value);
    QByteArray serialize() const;

private:
    struct Line {
        QByteArray text;  // the raw line, without its end
        QString section;  // section this line belongs to (empty before the first)
        QByteArray ident; // set for ident=value lines
        QByteArray rawValue;
        bool crlf = false; // ended in CR LF
    };
    std::vector<Line> lines_;
    QString fileName_;
    bool bom_ = false;
    bool crlf_ = false; // the line end of lines added by a save
};
