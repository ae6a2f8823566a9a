#include "shell/CopyFrm.h"

#include "controls/FontSubstitutions.h"
#include "controls/TKXButton.h"
#include "controls/Utf8Text.h"
#include "shell/ExportFormat.h"
#include "shell/Settings.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>

namespace {
// Room of a group's caption above its items.
constexpr int kCaptionRoom = 14;

QRadioButton* Item(QWidget* parent, const char* text, int x, int y, int w, int h) {
    auto* b = new QRadioButton(QString::fromUtf8(text), parent);
    b->setGeometry(x, y, w, h);
    return b;
}

// A radio group: the items fill the columns top to bottom, each column
// sharing the group's height below its caption equally.
QGroupBox* RadioGroup(QWidget* parent, const char* caption, QRect r,
                      const std::vector<const char*>& items, int columns, QButtonGroup*& group) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setGeometry(r);
    group = new QButtonGroup(box);
    const int n = static_cast<int>(items.size());
    const int rows = (n + columns - 1) / columns;
    const int width = (r.width() - 10) / columns;
    const int height = (r.height() - kCaptionRoom - 2) / rows;
    for (int i = 0; i < n; ++i) {
        const int column = i / rows, row = i % rows;
        QRadioButton* b = Item(box, items[static_cast<size_t>(i)], 8 + column * width,
                               kCaptionRoom + row * height + (height - 17) / 2, width - 4, 17);
        group->addButton(b, i);
    }
    return box;
}

void Check(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id)) b->setChecked(true);
}

QLabel* Picture(QWidget* parent, int perLine, QRect r) {
    auto* l = new QLabel(parent);
    l->setGeometry(r);
    l->setPixmap(TCopyFrm::LinesPicture(perLine));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QLabel* Count(QWidget* parent, QRect r, const QColor* color) {
    auto* l = new QLabel(parent);
    l->setGeometry(r);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setIndent(2);
    if (color) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, *color);
        l->setPalette(p);
    }
    return l;
}
} // namespace

QPixmap TCopyFrm::LinesPicture(int perLine) {
    // Cells of 14 by 8 pixels sharing their borders, as the design's 29 by
    // 33 picture of eight cells in a 2-wide, 4-high grid.
    const int cellsPerRow = perLine <= 0 ? 2 : 2 * perLine;
    const int rows = (8 + cellsPerRow - 1) / cellsPerRow;
    const int arrow = perLine <= 0 ? 14 : 0;
    QPixmap pixmap(cellsPerRow * 14 + 1, rows * 8 + 1 + arrow);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    QFont font = DesignedFont(QStringLiteral("MS Sans Serif"), 5);
    font.setPixelSize(7);
    p.setFont(font);
    for (int i = 0; i < 8; ++i) {
        const QRect cell((i % cellsPerRow) * 14, (i / cellsPerRow) * 8, 14, 8);
        p.fillRect(cell, Qt::white);
        p.setPen(Qt::black);
        p.drawRect(cell);
        p.drawText(cell.adjusted(1, 0, 0, 1), Qt::AlignCenter, QString::number(i + 1));
    }
    if (arrow) {
        const int x = pixmap.width() / 2, top = rows * 8 + 3;
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(x, top, x, top + 8);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        const QPoint head[] = {{x - 4, top + 7}, {x + 4, top + 7}, {x, top + 11}};
        p.drawPolygon(head, 3);
    }
    return pixmap;
}

TCopyFrm::TCopyFrm(QWidget* owner, TSettings& settings, int recordCount)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      fSettings(settings) {
    setWindowTitle(QStringLiteral("Export data"));
    setFont(DialogFont());
    setFixedSize(337, 456);

    ActionGrp = RadioGroup(
        this, "Action", {8, 8, 321, 57},
        {"Export to file", "Copy to clipboard", "Export and email", "Export and open"}, 2, Actions);
    std::vector<const char*> formats;
    for (const TExportFormat& f : ExportFormats())
        formats.push_back(f.Item);
    FormatGrp = RadioGroup(this, "Destination &format", {8, 80, 153, 105}, formats, 1, Formats);
    RangeGrp = RadioGroup(this, "Range", {8, 200, 321, 89},
                          {"Full table", "Selected column only", "Selected record only",
                           "From the current record to the last record"},
                          1, Ranges);

    LinesGrp = new QGroupBox(QStringLiteral("&Records per each line:"), this);
    LinesGrp->setGeometry(8, 304, 321, 97);
    Edit1 = new QLineEdit(LinesGrp);
    Edit1->setGeometry(128, 0, 29, 21);
    // Three places: a stored 100 must read back as 100, not be cut to 10.
    Edit1->setInputMask(QStringLiteral("999; "));
    Edit1->setMaxLength(3);
    const QColor red(Qt::red);
    Label6 = Count(LinesGrp, {128, 31, 65, 17}, &red);
    Label5 = Count(LinesGrp, {128, 48, 65, 17}, nullptr);
    Label4 = new QLabel(QStringLiteral("Destination lines:"), LinesGrp);
    Label4->move(14, 32);
    Label4->resize(Label4->sizeHint().width(), 17);
    QPalette redText = Label4->palette();
    redText.setColor(QPalette::WindowText, red);
    Label4->setPalette(redText);
    Label3 = new QLabel(QStringLiteral("Source lines:"), LinesGrp);
    Label3->move(14, 49);
    Label3->resize(Label3->sizeHint().width(), 17);
    SourcePicture = Picture(LinesGrp, 0, {244, 10, 29, 47});
    Image1 = Picture(LinesGrp, 1, {244, 60, 29, 33});
    Image2 = Picture(LinesGrp, 2, {230, 68, 58, 17});
    Image3 = Picture(LinesGrp, 3, {216, 68, 85, 17});
    Image4 = Picture(LinesGrp, 4, {202, 72, 113, 9});
    Image2->hide();
    Image3->hide();

    OKBtn = new TKXButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(83, 424, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new TKXButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(179, 424, 75, 25);
    CancelBtn->SetCancel(true);

    SepGrp = new QGroupBox(QStringLiteral("Field separator"), this);
    SepGrp->setGeometry(176, 80, 153, 105);
    SepBtn1 = Item(SepGrp, "Tab", 8, 16, 81, 17);
    SepBtn2 = Item(SepGrp, "Space", 8, 32, 81, 17);
    SepBtn3 = Item(SepGrp, "Comma", 8, 48, 81, 17);
    SepBtn4 = Item(SepGrp, "Semicolon", 8, 64, 81, 17);
    SepBtn5 = Item(SepGrp, "Other:", 8, 80, 65, 17);
    SepBtn1->setChecked(true);
    SepEdit = new QLineEdit(SepGrp);
    SepEdit->setGeometry(88, 78, 49, 21);
    SepEdit->setMaxLength(1);
    SetSepEditEnabled(false);

    QWidget* order[] = {ActionGrp, FormatGrp, RangeGrp, Edit1,   OKBtn,   CancelBtn,
                        SepBtn1,   SepBtn2,   SepBtn3,  SepBtn4, SepBtn5, SepEdit};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    // The first item of each group takes the focus within its group.
    setTabOrder(Actions->button(0), Formats->button(0));
    setTabOrder(Formats->button(0), Ranges->button(0));
    setTabOrder(Ranges->button(0), Edit1);

    connect(Edit1, &QLineEdit::textChanged, this, &TCopyFrm::Edit1Change);
    connect(Formats, &QButtonGroup::idClicked, this, &TCopyFrm::FormatGrpClick);
    for (QRadioButton* b : {SepBtn1, SepBtn2, SepBtn3, SepBtn4, SepBtn5})
        connect(b, &QRadioButton::clicked, this, &TCopyFrm::SepBtn1Click);
    connect(OKBtn, &QPushButton::clicked, this, &TCopyFrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // The form's creation: the controls from the settings.
    {
        const QSignalBlocker quiet(Edit1);
        Edit1->setText(QString::number(settings.RecsPerLine));
    }
    Label5->setText(QString::number(recordCount));
    Edit1Change();
    Check(Actions, settings.ActionType);
    Check(Formats, settings.FormatType);
    const std::string& sep = settings.Separator;
    // One character, which may take several bytes.
    const bool oneCharacter = ToQString(sep).toUcs4().size() == 1;
    if (sep.empty() || sep == "\t" || !oneCharacter)
        SepBtn1->setChecked(true);
    else if (sep == " ")
        SepBtn2->setChecked(true);
    else if (sep == ",")
        SepBtn3->setChecked(true);
    else if (sep == ";")
        SepBtn4->setChecked(true);
    else {
        SepBtn5->setChecked(true);
        SepEdit->setText(ToQString(sep));
        SetSepEditEnabled(true);
    }
    Check(Ranges, settings.RangeType);
    FormatGrpClick();
}

QString TCopyFrm::RecsPerLineText() const {
    return Edit1->displayText();
}

void TCopyFrm::Edit1Change() {
    const QString text = RecsPerLineText();
    const bool empty = text.trimmed().isEmpty();
    const int n = text.trimmed().toInt();
    OKBtn->setEnabled(!empty && n > 0 && n <= MaxRecsPerLine);
    if (!empty) {
        ChangeDestCount();
    } else {
        Label6->clear();
        for (QLabel* l : {Image1, Image2, Image3, Image4})
            l->hide();
    }
}

void TCopyFrm::ChangeDestCount() {
    const int s = Label5->text().toInt();
    const int n = RecsPerLineText().trimmed().toInt();
    // No count for 0 records per line: no line holds anything.
    if (n <= 0)
        Label6->clear();
    else
        Label6->setText(QString::number(s / n + (s % n > 0 ? 1 : 0)));
    Image1->setVisible(n == 1);
    Image2->setVisible(n == 2);
    Image3->setVisible(n == 3);
    Image4->setVisible(n > 3);
}

void TCopyFrm::FormatGrpClick() {
    SepGrp->setVisible(Formats->checkedId() == fmtText);
}

void TCopyFrm::SepBtn1Click() {
    const bool other = SepBtn5->isChecked();
    SetSepEditEnabled(other);
    if (other && isVisible()) SepEdit->setFocus();
}

void TCopyFrm::SetSepEditEnabled(bool enabled) {
    SepEdit->setEnabled(enabled);
    QPalette p = SepEdit->palette();
    const QColor base = palette().color(enabled ? QPalette::Base : QPalette::Button);
    p.setColor(QPalette::Disabled, QPalette::Base, base);
    p.setColor(QPalette::Active, QPalette::Base, base);
    p.setColor(QPalette::Inactive, QPalette::Base, base);
    SepEdit->setPalette(p);
}

void TCopyFrm::OKBtnClick() {
    // The default button reaches here by Enter even while disabled.
    if (!OKBtn->isEnabled()) return;
    fSettings.ActionType = Actions->checkedId() < 0 ? 0 : Actions->checkedId();
    fSettings.FormatType = Formats->checkedId() < 0 ? 0 : Formats->checkedId();
    if (SepBtn2->isChecked())
        fSettings.Separator = " ";
    else if (SepBtn3->isChecked())
        fSettings.Separator = ",";
    else if (SepBtn4->isChecked())
        fSettings.Separator = ";";
    else if (SepBtn1->isChecked())
        fSettings.Separator = "\t";
    else if (SepBtn5->isChecked())
        fSettings.Separator = SepEdit->text().trimmed().isEmpty() ? "\t" : ToUtf8(SepEdit->text());
    else
        fSettings.Separator = ToUtf8(SepEdit->text());
    fSettings.RangeType = Ranges->checkedId() < 0 ? 0 : Ranges->checkedId();
    fSettings.RecsPerLine = RecsPerLineText().trimmed().toInt();
    accept();
}
