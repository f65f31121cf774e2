#include "app/view_commands.h"

#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <utility>

#include "platform/commands.h"
#include "app/main_window.h"
#include "document/measurement.h"
#include "render/picture_gestures.h"
#include "render/view.h"
#include "render/view_gestures.h"

namespace {

QString ZoomText(int percent) { return QStringLiteral("%1%").arg(percent); }

int ShownUnit(const Liner& liner) {
    return IsDefaultUnitChoice(liner.defaultUnits) ? static_cast<int>(liner.defaultUnits) : static_cast<int>(kUnitInches);
}

// A length in the liner's default unit, as its measurements show it; with
// `named` false the number alone.
QString LengthText(const Liner& liner, int twips, bool named = true) {
    const int unit = ShownUnit(liner);
    Measurement m = FromTwips(twips, unit);
    // Measurements in the default unit carry no unit of their own: name it.
    m.unit = static_cast<int16_t>(named ? unit : kUnitNone);
    return QString::fromStdString(FormatMeasurement(m));
}

QString PositionText(const Liner& liner, QPoint paper) {
    return QStringLiteral("%1, %2").arg(LengthText(liner, paper.x()), LengthText(liner, paper.y()));
}

// The selected picture's rectangle, as Format Pictures shows it, and the
// same as numbers ("left, top; width × height unit") for a window too
// narrow for the words, such as the first one, as wide as the liner.
std::pair<QString, QString> SelectionTexts(const Liner& liner, int index) {
    if (index < 0 || index >= static_cast<int>(liner.pictures.size())) return {};
    const PicturePlace r = PictureRectOf(liner.pictures[static_cast<size_t>(index)]);
    auto texts = [&](bool named) {
        return std::array<QString, 4>{LengthText(liner, r.left, named), LengthText(liner, r.depth, named),
                                      LengthText(liner, r.width, named), LengthText(liner, r.height, named)};
    };
    const auto words = texts(true), numbers = texts(false);
    const int unit = ShownUnit(liner);
    return {QObject::tr("Left %1, Top %2, Width %3, Height %4").arg(words[0], words[1], words[2], words[3]),
            QStringLiteral("%1, %2; %3 \u00d7 %4%5")
                .arg(numbers[0], numbers[1], numbers[2], numbers[3], QString::fromLatin1(UnitRow(unit, unit).shown))};
}

// The name of the area under the pointer.  Where the bar is short it
// yields room to the picture's place, whose numbers must show whole, and
// ends in an ellipsis.
class AreaLabel : public QLabel {
public:
    using QLabel::QLabel;
    // Room for the first few letters of a name, or the whole of a short one.
    QSize minimumSizeHint() const override {
        const QSize whole = QLabel::minimumSizeHint();
        return {std::min(whole.width(), 4 * fontMetrics().averageCharWidth()), whole.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        painter.drawText(r, static_cast<int>(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
    }
};

// Shows the long text where the status bar leaves room for it, else the
// short one, so neither is cut off by the fields beside it.  The size it
// asks for stays that of the long text whichever shows, so choosing never
// moves the bar's layout.
class PlaceLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetTexts(const std::pair<QString, QString>& texts) {
        texts_ = texts;
        updateGeometry();
        Choose();
    }
    QSize sizeHint() const override { return Measure(texts_.first); }
    QSize minimumSizeHint() const override { return Measure(texts_.second); }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Choose();
    }

private:
    QSize Measure(const QString& text) const {
        const QMargins m = contentsMargins();
        return {fontMetrics().horizontalAdvance(text) + m.left() + m.right() + 2 * margin(),
                QLabel::sizeHint().height()};
    }
    void Choose() {
        const QString& wanted = width() >= sizeHint().width() ? texts_.first : texts_.second;
        if (text() != wanted) setText(wanted);
    }
    std::pair<QString, QString> texts_;
};

}  // namespace

void InstallViewCommands(MainWindow& window) {
    LinerView* view = window.view();
    MainWindow* w = &window;
    window.SetCommandHandler(kCmdZoomIn, [view] { view->ZoomIn(); });
    window.SetCommandHandler(kCmdZoomOut, [view] { view->ZoomOut(); });
    window.SetCommandHandler(kCmdActualSize, [view] { view->SetZoom(100); });
    window.SetCommandHandler(kCmdFitWidth, [view] { view->SetZoom(view->FitWidthZoom()); });
    window.SetCommandHandler(kCmdFitPage, [view] { view->SetZoom(view->FitPageZoom()); });
    window.SetCommandHandler(kCmdRulers, [view, w] {
        w->settings().rulers = !view->rulersVisible();
        view->SetRulersVisible(w->settings().rulers);
        w->action(kCmdRulers)->setChecked(w->settings().rulers);
    });

    QStatusBar* bar = window.statusBar();
    bar->setObjectName("StatusBar");
    auto* position = new QLabel(bar);
    position->setObjectName("PointerPosition");
    position->setMinimumWidth(position->fontMetrics().horizontalAdvance(QStringLiteral("00.0000 cm, 00.0000 cm")));
    auto* zoom = new QLabel(ZoomText(view->zoom()), bar);
    zoom->setObjectName("ZoomLevel");
    // The area under the pointer and the selected picture's place.
    auto* area = new AreaLabel(bar);
    area->setObjectName("HoverArea");
    auto* selection = new PlaceLabel(bar);
    selection->setObjectName("SelectionPlace");
    bar->addWidget(area);
    bar->addWidget(selection);
    QObject::connect(&view->gestures(), &PictureGestures::areaHovered, area, &QLabel::setText);
    QObject::connect(&view->gestures(), &PictureGestures::selectionChanged, selection,
                     [w, selection](int index) { selection->SetTexts(SelectionTexts(w->liner(), index)); });
    bar->addPermanentWidget(position);
    bar->addPermanentWidget(zoom);
    QObject::connect(view, &LinerView::zoomChanged, w, [w, zoom](int percent) {
        zoom->setText(ZoomText(percent));
        w->settings().zoom = percent;
    });
    QObject::connect(view, &LinerView::pointerMoved, w, [w, position](std::optional<QPoint> paper) {
        const LinerGeometry g = ComputeLinerGeometry(w->liner());
        const bool onPaper = paper && paper->x() >= 0 && paper->y() >= 0 && paper->x() <= g.width + 1 &&
                             paper->y() <= g.totalHeight + 1;
        position->setText(onPaper ? PositionText(w->liner(), *paper) : QString());
    });
}
