#pragma once

#include <optional>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// New values for the descriptive texts of a group of styles; a text without a value keeps each
// style's own.
struct StyleChanges {
    std::optional<QString> name{}; // StyleName1
    std::optional<QString> desc{};
    std::optional<QString> family{};
    std::optional<QString> group{}; // StyleCat
    std::optional<QString> author{};
    bool isEmpty() const { return !name && !desc && !family && !group && !author; }
};

// Changes or deletes a group of styles, shared by the styles window and the command line. Each run
// is one transaction: when anything fails, nothing of the run stays. Database failures throw
// SbkError naming the style.
class StyleGroup {
public:
    // The sizes the store keeps, shared by every window that edits these texts.
    static constexpr int NameSize = 28;
    static constexpr int DescSize = 250;
    static constexpr int FamilySize = 20;
    static constexpr int GroupSize = 20;
    static constexpr int AuthorSize = 50;
    static constexpr int FileSize = 20; // StyleFile, the STY file's short name

    struct Removal {
        int styles = 0; // styles deleted
        int banks = 0;  // stored banks that held one of them
    };

    // Why the values cannot be stored: too long for the store, or holding a character that SSF
    // and PDD files cannot carry. The message names the field; "" when they may be stored. The
    // one check of these texts: the windows, sbk-cli, the style import and update ask it.
    static QString refusal(const StyleChanges& changes);

    // Writes the changes into every listed style; values that refusal refuses throw SbkError with
    // its message before anything is read. An empty family, group or author is stored as
    // one blank, the value kept for an empty field. A number that is not stored is passed over,
    // or, with everyStyle, refused ("There is no style 7.") so that nothing changes. Returns the
    // number of styles changed.
    static int update(QSqlDatabase db, const QList<qint32>& styles, const StyleChanges& changes,
                      bool everyStyle = false);

    // Deletes the listed styles and takes them out of every stored bank, whose other slots close
    // up in their order. Numbers not stored are handled as by update.
    static Removal remove(QSqlDatabase db, const QList<qint32>& styles, bool everyStyle = false);
};
