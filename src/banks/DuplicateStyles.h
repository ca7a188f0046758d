#pragma once

#include "core/Progress.h"

#include <optional>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Copies of a style across the whole library, found by the fingerprints every stored style keeps
// (StyleFingerprint), and merged: one copy kept, the banks re-pointed to it, the others deleted.
//
// - Exact: both blocks identical byte for byte.
// - Renamed: identical once decoded, apart from the style's name inside the blocks.
// - Settings: the same music (decoded style block without its name) with other performance
//   settings (tempo, sounds, mixer).
// - Notes: the same notes (the same note fingerprint, NoteVector) in blocks that differ besides
//   the performance settings: other sounds, controllers, or the pattern transposed.
// A group of a wider kind never repeats a group of a narrower one: a renamed group holds styles
// that are not all exact copies of each other, and so on.
class DuplicateStyles {
public:
    enum class Kind { Exact, Renamed, Settings, Notes };
    // Every kind, the narrowest first.
    static const QList<Kind>& kinds();
    enum class KeepRule { Oldest, Newest, MostUsed };

    struct BankSlot {
        qint64 BankProg = 0;
        QString BankName;
        int Slot = 0; // 1..32
    };
    struct Style {
        qint64 StyleProg = 0;
        QString StyleName1;
        QString StyleCat; // the group
        QString StyleAuthor;
        std::optional<int> StyleTempo;
        QString StyleMeter;
        QString StyleDate;
        QList<BankSlot> Banks;
        // Tells the performance settings (tempo, sounds, mixer) of styles of the same music apart;
        // absent when the blocks cannot be decoded.
        std::optional<qint64> FingerprintRenamed;
    };
    struct Group {
        Kind kind = Kind::Exact;
        QList<Style> styles; // by StyleProg
    };
    // One group to merge and the style of it to keep (one of its StyleProg values).
    struct Merge {
        Group group;
        qint64 keep = 0;
    };
    struct Result {
        qint64 groups = 0;
        qint64 deleted = 0;     // styles deleted
        qint64 slotsMoved = 0;  // bank slots re-pointed to a kept style
        bool cancelled = false; // the run was cancelled and undone: nothing changed
    };

    // "exact", "renamed", "settings", "notes" and back; fromName returns std::nullopt for another word.
    static QString name(Kind kind);
    static std::optional<Kind> fromName(const QString& word);
    // "exact copies", "renamed copies", "same music, other settings", "same notes".
    static QString kindWords(Kind kind);

    // Every group of the given kinds, kinds in the order given, groups by their first StyleProg; a
    // style's banks by BankName, then BankProg and slot. Throws SbkError when the database keeps
    // no fingerprints (a database of another program).
    static QList<Group> find(QSqlDatabase db, const QList<Kind>& kinds, Progress* progress = nullptr);
    // The style of a group a rule keeps: the oldest or newest by StyleDate, styles of one day (or
    // without a date) by number in the rule's direction (the newest is the highest number); or the
    // one in the most bank slots (then the oldest).
    static qint64 keepByRule(const Group& group, KeepRule rule);
    // What the styles of a group differ in, as far as the library tells: "name (Samba, Samba II)",
    // "tempo (96, 120)", "meter (3/4, 4/4)", "sounds or mixer settings". Empty for exact copies.
    static QStringList differences(const Group& group);
    // For the question before merging: how many of the groups hold styles that differ (renamed
    // copies, the same music with other settings) and what the styles of the first few differ in,
    // a line each; "" when every group is of exact copies.
    static QString differenceNote(const QList<Merge>& merges);
    // The merges a rule makes of groups found (of one kind or several): each group with the style
    // the rule keeps, the widest kinds first. A group whose styles lie in a wider group already
    // planned is left out (the wider merge takes its copies), so no style is in two merges.
    static QList<Merge> plan(const QList<Group>& groups, KeepRule rule);
    // Merges the groups in one transaction: for each, the kept style's empty descriptive fields
    // are filled from the others, every bank slot that held another copy holds the kept one, the
    // others are deleted. Throws SbkError with nothing changed when a style of a group is gone or
    // changed meanwhile, a kept style is not in its group or is chosen twice, or the database
    // cannot be written. Cancelling the progress undoes the whole run (Result::cancelled).
    // The descriptive fields filled are StyleDesc, StyleCat, StyleFamily, StyleFile and StyleAuthor
    // (empty: nothing but blanks); a style may be in one merge of a run only (plan gives that).
    static Result merge(QSqlDatabase db, const QList<Merge>& merges, Progress* progress = nullptr);
};
