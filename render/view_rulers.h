// The rulers along the top and the left of the view: the liner's default
// unit from the paper's top-left corner, following the zoom and the scroll,
// with the pointer's place marked.
#pragma once

#include <QWidget>
#include <optional>

class LinerView;

class ViewRuler : public QWidget {
public:
    ViewRuler(LinerView& view, Qt::Orientation orientation);

    // Thickness in pixels.
    static constexpr int kSize = 20;

    Qt::Orientation orientation() const { return orientation_; }
    // The pointer's place on the paper (twips along this ruler), or none.
    void MarkPointer(std::optional<int> twips);
    std::optional<int> pointer() const { return pointer_; }
    // How the ticks go at a resolution: numbered every `step` twips (a
    // whole number of units), with smaller ticks between.
    struct Ticks {
        int step = 0;        // twips between numbered ticks
        int subdivisions = 1;
        int unitTwips = 1440;
    };
    Ticks TicksFor(int pixelsPerInch) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The pixel along the ruler of a paper position.
    int PixelAt(int twips) const;

    LinerView& view_;
    Qt::Orientation orientation_;
    std::optional<int> pointer_;
};
