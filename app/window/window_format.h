#pragma once

#include <QString>
#include <QStringList>

// Fills a printf-style message of the translations ("%d of %d", "%s (%d)")
// with already formatted values, in order: %d and %s take the next value,
// %% gives a percent sign. Done by hand because file names may hold lone
// surrogates that a round trip through UTF-8 (QString::asprintf) would lose.
inline QString FillFormat(const QString& format, const QStringList& values)
{
    QString out;
    out.reserve(format.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            const QChar kind = format[i + 1];
            if (kind == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (kind == u'd' || kind == u's') {
                if (next < values.size())
                    out += values[next++];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

inline QString FillFormat(const QString& format, std::initializer_list<long long> numbers)
{
    QStringList values;
    for (long long n : numbers)
        values << QString::number(n);
    return FillFormat(format, values);
}
