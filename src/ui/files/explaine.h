#pragma once
// The description window: project and device names, the described cells with their colour,
// access, data and comment, and free notes. A view of the image description; the hex editor
// creates it and toggles it with its Property action.
#include <QAbstractScrollArea>
#include <QAction>
#include <QWidget>

class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace jqz {

class THexEdit;
class TForm8;

// The grid of described cells: colour swatch, access, address, data, comment.
class DescriptionGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 19;
    static constexpr int kColumnWidths[5] = {15, 15, 55, 35, 1400};

    DescriptionGrid(THexEdit& editor, QWidget* parent);
    int currentRow() const { return currentRow_; }
    void setCurrentRow(int row);
    void rowsChanged();

signals:
    void editRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int rowAt(int y) const;
    void showCurrentRow();

    THexEdit& editor_;
    int currentRow_ = 0;
};

class TExplaine : public QWidget {
    Q_OBJECT
public:
    TExplaine(THexEdit& editor, QWidget* parent);
    ~TExplaine() override;

    DescriptionGrid* grid() const { return grid_; }
    QAction* action(const char* name) const;
    // The live data column follows every edit.
    void repaintGrid();
    // After a change of the project or device name.
    void namesChanged();

    void AddRowExecute();
    void DeleteRowExecute();
    void CellEditExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Shows what the description holds now.
    void refresh();

    THexEdit& editor_;
    QLineEdit* projectName_;
    QLineEdit* deviceName_;
    DescriptionGrid* grid_;
    QPlainTextEdit* projNotes_;
    QMenu* cellPropMenu_;
    QAction* addRow_;
    QAction* deleteRow_;
    QAction* cellEdit_;
    TForm8* form8_ = nullptr;
};

}  // namespace jqz
