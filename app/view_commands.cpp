#include "app/view_commands.h"

#include <QLabel>
#include <QStatusBar>

#include "app/commands.h"
#include "app/main_window.h"
#include "document/measurement.h"
#include "render/view.h"

namespace {

QString ZoomText(int percent) { return QStringLiteral("%1%").arg(percent); }

// A paper position in the liner's default unit, as its measurements show.
QString PositionText(const Liner& liner, QPoint paper) {
    // Measurements in the default unit carry no unit of their own: name it.
    const int unit = IsDefaultUnitChoice(liner.defaultUnits) ? static_cast<int>(liner.defaultUnits) : static_cast<int>(kUnitInches);
    const auto shown = [&](int twips) {
        Measurement m = FromTwips(twips, unit);
        if (m.unit == kUnitNone) m.unit = static_cast<int16_t>(unit);
        return QString::fromStdString(FormatMeasurement(m));
    };
    return QStringLiteral("%1, %2").arg(shown(paper.x()), shown(paper.y()));
}

}  // namespace

void InstallViewCommands(MainWindow& window) {
    LinerView* view = window.view();
    MainWindow* w = &window;
    window.SetCommandHandler(kCmdZoomIn, [view] { view->ZoomIn(); });
    window.SetCommandHandler(kCmdZoomOut, [view] { view->ZoomOut(); });
    window.SetCommandHandler(kCmdActualSize, [view] { view->SetZoom(100); });
    window.SetCommandHandler(kCmdFitWidth, [view] { view->SetZoom(view->FitWidthZoom()); });
    window.SetCommandHandler(kCmdFitPage, [view] { view->SetZoom(view->FitPageZoom()); });

    QStatusBar* bar = window.statusBar();
    bar->setObjectName("StatusBar");
    auto* position = new QLabel(bar);
    position->setObjectName("PointerPosition");
    position->setMinimumWidth(position->fontMetrics().horizontalAdvance(QStringLiteral("00.0000 cm, 00.0000 cm")));
    auto* zoom = new QLabel(ZoomText(view->zoom()), bar);
    zoom->setObjectName("ZoomLevel");
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
