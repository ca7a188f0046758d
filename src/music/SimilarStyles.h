#pragma once

#include "core/NoteVector.h"

#include <optional>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <vector>

// The styles whose notes are most like a style's, across the whole library. Every stored note
// fingerprint is read in one scan of its index and decoded into one flat array of cells (a few
// hundred bytes a style), with its norm; a search is then one pass of integer dot products over
// it. The array is a picture of the library when it was read: a window that keeps one reads it
// again when the library changed.
class SimilarStyles {
public:
    struct Match {
        qint32 prog = 0;
        int similarity = 0; // whole percent
    };

    // A match with what the lists show of it.
    struct Described : Match {
        QString name;
        std::optional<int> tempo;
        QString meter;
    };

    // Reads the note fingerprints of every stored style; a table without the column has none.
    // Throws SbkError when the database cannot be read.
    explicit SimilarStyles(QSqlDatabase db);

    // The styles with a note fingerprint.
    int count() const { return int(m_progs.size()); }
    bool hasNotes(qint32 prog) const { return indexOf(prog) >= 0; }
    // The top styles most like the style prog, most alike first (alike ones in number order),
    // never prog itself; std::nullopt when prog has no notes to compare.
    std::optional<QList<Match>> nearest(qint32 prog, int top) const;
    // The same for a fingerprint's cells, leaving out the style except.
    QList<Match> nearestTo(const NoteVector::Cells& cells, qint32 except, int top) const;

    // The names, tempos and meters of the matches, in their order (a style deleted meanwhile is
    // left out). Throws SbkError when the database cannot be read.
    static QList<Described> describe(QSqlDatabase db, const QList<Match>& matches);

    // Whether the stored style prog has a note fingerprint (false too for a table without the
    // column). Throws SbkError when the database cannot be read.
    static bool storedWithNotes(QSqlDatabase db, qint32 prog);
    // A mark that differs once anything was written to the database, by this connection or any
    // other: a picture read under one mark is still the library's while the mark stays. Throws
    // SbkError when the database cannot be read.
    static QString revision(QSqlDatabase db);

private:
    int indexOf(qint32 prog) const;

    std::vector<qint32> m_progs;  // in the order of the index
    std::vector<quint8> m_cells;  // NoteVector::Size of each style, in the order of m_progs
    std::vector<quint32> m_norm2; // the squared norm of each
};
