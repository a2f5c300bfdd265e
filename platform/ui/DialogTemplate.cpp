#include "DialogTemplate.h"

#include "ListCtrl.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

#include <vector>

namespace {

QIcon (*g_pIconLoader)(int) = nullptr;

QString SystemJapaneseSans() {
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    for (const char* preferred : {"Noto Sans CJK JP", "Noto Sans JP", "VL PGothic", "TakaoPGothic"}) {
        if (families.contains(QLatin1String(preferred)))
            return QLatin1String(preferred);
    }
    for (const QString& family : families) {
        if (family.contains(QLatin1String("Gothic"), Qt::CaseInsensitive) ||
            family.contains(QLatin1String("Sans"), Qt::CaseInsensitive))
            return family;
    }
    return QStringLiteral("sans-serif");
}

/// Line breaks that inserting `text` into a document makes: LF, CR LF, a lone CR
/// and the paragraph separator each start a new block.
qsizetype LineBreaksIn(const QString& text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == QLatin1Char('\n') || ch == QChar::ParagraphSeparator ||
            (ch == QLatin1Char('\r') && (i + 1 == text.size() || text.at(i + 1) != QLatin1Char('\n'))))
            ++n;
    }
    return n;
}

/// The memo box. Like an edit box without vertical scrolling it holds no more lines
/// than its height shows: Enter and pastes that would make more are refused with a
/// beep. A longer text set by the program stays readable: the box still scrolls to
/// the cursor and on the mouse wheel, only the scroll bars are hidden.
class MultiLineEdit : public QPlainTextEdit {
public:
    explicit MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setTabChangesFocus(true);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool bEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (!bEnter || (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
            QPlainTextEdit::keyPressEvent(event);
            return;
        }
        // Shift+Enter too makes a plain line break, not a line separator inside the line.
        event->accept();
        if (LinesAfterInserting(1) > LinesThatFit()) {
            QApplication::beep();
            return;
        }
        textCursor().insertText(QStringLiteral("\n"));
        ensureCursorVisible();
    }

    void insertFromMimeData(const QMimeData* source) override {
        if (source->hasText() && LinesAfterInserting(LineBreaksIn(source->text())) > LinesThatFit()) {
            QApplication::beep();
            return;
        }
        QPlainTextEdit::insertFromMimeData(source);
    }

private:
    qsizetype LinesAfterInserting(qsizetype nBreaks) const {
        // Lines never wrap, so each block is one line; the selection's breaks go away.
        const qsizetype selected = textCursor().selectedText().count(QChar::ParagraphSeparator);
        return document()->blockCount() - selected + nBreaks;
    }

    int LinesThatFit() const {
        // Whole lines between the margins, counted as the box's own scrolling counts them.
        const qreal height = viewport()->height() - 2 * document()->documentMargin() - 1;
        return std::max(1, static_cast<int>(height / QFontMetricsF(font()).lineSpacing()));
    }
};

// The box a label names: the nearest one to its right on the same line, else the
// nearest one below it, else the nearest one to its left on the same line (a label
// that follows its box). Templates list labels and boxes in any order.
QWidget* BoxOfLabel(const QRect& label, const std::vector<QWidget*>& boxes) {
    // The box with the smallest distance that is not negative; a negative one rules a box out.
    auto nearest = [&boxes](auto distance) {
        QWidget* best = nullptr;
        int bestDistance = 0;
        for (QWidget* box : boxes) {
            const int d = distance(box->geometry());
            if (d >= 0 && (!best || d < bestDistance)) {
                best = box;
                bestDistance = d;
            }
        }
        return best;
    };
    auto sameLine = [&label](const QRect& r) { return r.top() <= label.bottom() && r.bottom() >= label.top(); };
    if (QWidget* right = nearest([&](const QRect& r) { return sameLine(r) ? r.left() - label.left() : -1; }))
        return right;
    if (QWidget* below = nearest([&](const QRect& r) {
            return r.left() <= label.right() && r.right() >= label.left() ? r.top() - label.top() : -1;
        }))
        return below;
    return nearest([&](const QRect& r) { return sameLine(r) ? label.left() - r.right() : -1; });
}

} // namespace

QFont DialogFont() {
    static const QFont font = [] {
        QFont f;
        f.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), SystemJapaneseSans()});
        f.setPointSize(9);
        return f;
    }();
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    // The average width the way the dialog manager measures it: over the Latin alphabet.
    const QFontMetrics fm(font);
    const int cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nCharWidth = std::max(1, (cx / 26 + 1) / 2);
    m_nCharHeight = std::max(1, fm.height());
}

void SetIconResourceLoader(QIcon (*loader)(int)) {
    g_pIconLoader = loader;
}

QWidget* BuildControls(QWidget* parent, const DialogTemplate& tpl) {
    const QFont font = DialogFont();
    parent->setFont(font);
    const DialogUnits du(font);
    if (tpl.pszCaption && *tpl.pszCaption)
        parent->setWindowTitle(QString::fromUtf8(tpl.pszCaption));

    QWidget* pFirstTab = nullptr;
    QWidget* pPrevTab = nullptr;
    std::vector<QLabel*> labels;
    std::vector<QWidget*> boxes;
    for (const ControlTemplate& c : tpl.controls) {
        const QString text = QString::fromUtf8(c.pszText);
        QRect rect = du.Rect(c.x, c.y, c.cx, c.cy);
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            label->setAlignment(Qt::AlignLeft |
                                ((c.nStyle & ControlStyle::CenterVertical) ? Qt::AlignVCenter : Qt::AlignTop));
            // Japanese texts run wider in some fonts than in the one the layout was made
            // with: let a label grow rather than cut its text.
            rect.setWidth(std::max(rect.width(), label->sizeHint().width()));
            if (!(c.nStyle & ControlStyle::NoPrefix))
                labels.push_back(label);
            w = label;
            break;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            rect.setSize(QSize(32, 32));
            if (g_pIconLoader)
                label->setPixmap(g_pIconLoader(text.toInt()).pixmap(rect.size(), label->devicePixelRatioF()));
            w = label;
            break;
        }
        case ControlKind::Edit:
        case ControlKind::MultiLineEdit: {
            QWidget* edit = nullptr;
            if (c.kind == ControlKind::Edit) {
                auto* line = new QLineEdit(parent);
                if (c.nStyle & ControlStyle::Password)
                    line->setEchoMode(QLineEdit::Password);
                edit = line;
            } else {
                edit = new MultiLineEdit(parent);
            }
            boxes.push_back(edit);
            w = edit;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(c.nStyle & ControlStyle::DefaultButton);
            w = button;
            break;
        }
        case ControlKind::CheckBox:
            w = new QCheckBox(text, parent);
            break;
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(text, parent);
            // A frame for the eye only: the controls inside stay on top of it and take the clicks.
            group->lower();
            w = group;
            break;
        }
        case ControlKind::ListView:
            w = new CListCtrl(parent);
            break;
        case ControlKind::ListBox:
            w = new QListWidget(parent);
            boxes.push_back(w);
            break;
        }
        if (c.nId >= 0)
            w->setObjectName(QString::number(c.nId));
        w->setGeometry(rect);
        if (c.kind == ControlKind::GroupBox) {
            w->setFocusPolicy(Qt::NoFocus);
        } else if (c.nStyle & ControlStyle::TabStop) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (pPrevTab)
                QWidget::setTabOrder(pPrevTab, w);
            else
                pFirstTab = w;
            pPrevTab = w;
        } else if (c.kind != ControlKind::Static && c.kind != ControlKind::Icon) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
    }
    for (QLabel* label : labels)
        label->setBuddy(BoxOfLabel(label->geometry(), boxes));
    parent->resize(du.X(tpl.cx), du.Y(tpl.cy));
    return pFirstTab;
}
