#include "music/SimilarStyles.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"

#include <algorithm>
#include <cmath>
#include <QSqlError>
#include <QSqlQuery>

SimilarStyles::SimilarStyles(QSqlDatabase db) {
    if (!DbKORFStyle::keepsFacts(db))
        return;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The index holds the fingerprints with their numbers: the rows, whose blocks lie before the
    // fingerprint, are never read.
    Database::exec(query, QStringLiteral("SELECT StyleProg, NoteFingerprint FROM KORFStyles INDEXED BY "
                                         "KORFStyles_NoteFingerprint WHERE NoteFingerprint IS NOT NULL"));
    NoteVector::Cells decoded;
    while (query.next()) {
        if (!NoteVector::decode(query.value(1).toByteArray(), decoded))
            continue; // a value no version of the program wrote: a style without notes to compare
        m_progs.push_back(query.value(0).toInt());
        m_cells.insert(m_cells.end(), decoded.begin(), decoded.end());
        m_norm2.push_back(NoteVector::norm2(decoded));
    }
}

int SimilarStyles::indexOf(qint32 prog) const {
    const auto at = std::find(m_progs.cbegin(), m_progs.cend(), prog);
    return at != m_progs.cend() ? int(at - m_progs.cbegin()) : -1;
}

std::optional<QList<SimilarStyles::Match>> SimilarStyles::nearest(qint32 prog, int top) const {
    const int index = indexOf(prog);
    if (index < 0)
        return std::nullopt;
    NoteVector::Cells cells;
    std::copy_n(m_cells.data() + size_t(index) * NoteVector::Size, NoteVector::Size, cells.begin());
    return nearestTo(cells, prog, top);
}

QList<SimilarStyles::Match> SimilarStyles::nearestTo(const NoteVector::Cells& cells, qint32 except,
                                                     int top) const {
    const quint32 norm2 = NoteVector::norm2(cells);
    if (norm2 == 0 || top <= 0)
        return {};
    struct Scored {
        double cosine;
        qint32 prog;
        quint32 dot;
        quint32 norm2;
    };
    std::vector<Scored> scored;
    scored.reserve(m_progs.size());
    for (size_t i = 0; i < m_progs.size(); ++i) {
        if (m_progs[i] == except || m_norm2[i] == 0)
            continue;
        const quint32 dot = NoteVector::dot(cells.data(), m_cells.data() + i * NoteVector::Size);
        scored.push_back({dot / std::sqrt(double(norm2) * m_norm2[i]), m_progs[i], dot, m_norm2[i]});
    }
    const auto before = [](const Scored& a, const Scored& b) {
        return a.cosine != b.cosine ? a.cosine > b.cosine : a.prog < b.prog;
    };
    const size_t count = std::min(scored.size(), size_t(top));
    std::partial_sort(scored.begin(), scored.begin() + qsizetype(count), scored.end(), before);
    QList<Match> matches;
    matches.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i)
        matches.append({scored[i].prog, NoteVector::percent(scored[i].dot, norm2, scored[i].norm2)});
    return matches;
}

QList<SimilarStyles::Described> SimilarStyles::describe(QSqlDatabase db, const QList<Match>& matches) {
    QList<Described> described;
    if (matches.isEmpty())
        return described;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT StyleName1, Tempo, Meter FROM KORFStyles WHERE StyleProg = ?")))
        throw SbkError(Database::errorText(query.lastError()));
    for (const Match& match : matches) {
        query.bindValue(0, match.prog);
        Database::exec(query);
        if (query.next())
            described.append({match, query.value(0).toString(),
                              query.isNull(1) ? std::nullopt : std::optional<int>(query.value(1).toInt()),
                              query.value(2).toString()});
        query.finish();
    }
    return described;
}

bool SimilarStyles::storedWithNotes(QSqlDatabase db, qint32 prog) {
    if (!DbKORFStyle::keepsFacts(db))
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT 1 FROM KORFStyles WHERE StyleProg = ? AND NoteFingerprint IS NOT NULL")))
        throw SbkError(Database::errorText(query.lastError()));
    query.addBindValue(prog);
    Database::exec(query);
    return query.next();
}

QString SimilarStyles::revision(QSqlDatabase db) {
    // total_changes() counts what this connection wrote, data_version what the others committed.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT total_changes(), data_version FROM pragma_data_version"));
    if (!query.next())
        throw SbkError(QStringLiteral("The database does not say whether it changed."));
    return query.value(0).toString() + QLatin1Char('/') + query.value(1).toString();
}
