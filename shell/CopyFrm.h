#pragma once

#include <QDialog>
#include <QPixmap>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TKXButton;
struct TSettings;

// The modal "Export data" dialog: action, format, the Text format's field
// separator, range and records per line, with the line counts that result.
// It reads the settings when created and writes them back only on OK.
class TCopyFrm : public QDialog {
    Q_OBJECT
public:
    // `recordCount`: the open table's records, the source line count.
    TCopyFrm(QWidget* owner, TSettings& settings, int recordCount);

    // The records-per-line field as it reads: blanks when empty.
    QString RecsPerLineText() const;

    QGroupBox* ActionGrp = nullptr;
    QButtonGroup* Actions = nullptr;
    QGroupBox* FormatGrp = nullptr;
    QButtonGroup* Formats = nullptr;
    QGroupBox* RangeGrp = nullptr;
    QButtonGroup* Ranges = nullptr;
    QGroupBox* LinesGrp = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label6 = nullptr; // destination lines
    QLabel* Label5 = nullptr; // source lines
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* SourcePicture = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;
    TKXButton* OKBtn = nullptr;
    TKXButton* CancelBtn = nullptr;
    QGroupBox* SepGrp = nullptr;
    QRadioButton* SepBtn1 = nullptr;
    QRadioButton* SepBtn2 = nullptr;
    QRadioButton* SepBtn3 = nullptr;
    QRadioButton* SepBtn4 = nullptr;
    QRadioButton* SepBtn5 = nullptr;
    QLineEdit* SepEdit = nullptr;

    // The cells of the pictures: `perLine` records of two fields to a row,
    // eight cells in all; 0 draws the source with its arrow.
    static QPixmap LinesPicture(int perLine);

private:
    void Edit1Change();
    void FormatGrpClick();
    void SepBtn1Click();
    void ChangeDestCount();
    void OKBtnClick();
    void SetSepEditEnabled(bool enabled);

    TSettings& fSettings;
};
