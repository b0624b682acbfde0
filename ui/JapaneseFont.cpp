// SPDX-License-Identifier: GPL-3.0-or-later
#include "JapaneseFont.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace krt {

QString InstallJapaneseFont() {
    static QString chosen;
    static bool done = false;
    if (done) return chosen;
    done = true;
    const QStringList installed = QFontDatabase::families();
    auto pick = [&](const QStringList& wanted) {
        QStringList found;
        for (const QString& w : wanted)
            for (const QString& f : installed)
                if (f.compare(w, Qt::CaseInsensitive) == 0 && !found.contains(f)) found << f;
        return found;
    };
    const QStringList gothic = pick({QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                     QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                                     QStringLiteral("Noto Sans JP"), QStringLiteral("TakaoGothic"),
                                     QStringLiteral("VL Gothic")});
    const QStringList latin = pick({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("DejaVu Sans")});
    if (!gothic.isEmpty()) chosen = gothic.first();
    for (const QString& name : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                                QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")})
        QFont::insertSubstitutions(name, gothic);
    // English texts in "Arial"; Japanese file names in the log still need glyphs.
    QFont::insertSubstitutions(QStringLiteral("Arial"), latin + gothic);
    return chosen;
}

}  // namespace krt
