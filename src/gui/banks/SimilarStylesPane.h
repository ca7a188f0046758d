#pragma once

#include <memory>
#include <QGroupBox>

class Prompt;
class QLabel;
class QTableWidget;
class QToolButton;
class SBKModule;
class SimilarStyles;

// The "Similar styles" pane beside the styles window's grid: the styles whose notes are most like
// one style, most alike first, with their likeness in percent, tempo and meter. The list stays on
// the style it was asked for while the player walks through it (asking again lists the styles like
// the grid's current one): choosing a row tells the window, which makes that style current so
// the contents pane shows and plays it. A style without notes says so in the pane.
//
// The notes of the whole library are read at the first question and kept while the database
// stays as it was (SimilarStyles::revision), so that each further question is one pass over them.
class SimilarStylesPane : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int Nearest = 50;
    enum { PercentColumn, NameColumn, TempoColumn, MeterColumn, ColumnCount };

    SimilarStylesPane(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);
    ~SimilarStylesPane() override;

    // Lists the styles most like the style prog, whose name is given as the grid shows it. A
    // database that cannot be read is reported and leaves the list empty.
    void showSimilarTo(qint32 prog, const QString& name);
    // The style the list is like; 0 before the first question.
    qint32 style() const { return m_prog; }
    qint32 styleAt(int row) const;
    QTableWidget* list() const { return m_list; }
    // The line below the list: what the pane has to say about the list or the chosen style; ""
    // hides it.
    void setNote(const QString& text);
    QString note() const;

signals:
    // The user made another row of the list current.
    void styleChosen(qint32 prog);
    void hideAsked();

private:
    // The library's notes as they stand now, read again when the database changed.
    const SimilarStyles& library();
    void fill(const QString& name);

    SBKModule& m_module;
    Prompt& m_prompt;
    QTableWidget* m_list;
    QLabel* m_lbLike;
    QLabel* m_lbNote;
    QToolButton* m_cmdHide;
    qint32 m_prog = 0;
    std::unique_ptr<SimilarStyles> m_library;
    QString m_revision; // of m_library
};
