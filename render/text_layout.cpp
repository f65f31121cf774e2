#include "render/text_layout.h"

#include <algorithm>
#include <map>

#include "document/measurement.h"
#include "platform/messages.h"
#include "platform/strings.h"
#include "render/fonts.h"

namespace {

using Kind = RowItem::Kind;

constexpr unsigned char kTabByte = 0xBB;

// The length of an item: up to CR or NUL, font changes read as pairs so
// that font number 13 (a CR byte) does not end it.
size_t ItemLength(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == kFontChange) {
            i += 2;
            continue;
        }
        if (c == '\r' || c == '\0') return i;
        ++i;
    }
    return text.size();
}

bool HasContent(const LayoutRow& row) {
    return std::any_of(row.items.begin(), row.items.end(),
                       [](const RowItem& item) { return item.kind != Kind::Font; });
}

// Breaks one item into rows; the steps follow the order in which a row is
// filled, checked and closed.
class RowBreaker {
public:
    RowBreaker(Surface& surface, Liner& liner, int standard, int width, int leftX, int wrap,
               std::vector<LayoutRow>& rows)
        : surface_(surface),
          liner_(liner),
          standard_(standard),
          limit_(width),
          leftX_(leftX),
          wrap_(wrap),
          rows_(rows) {}

    void Run(std::string_view text) {
        text_ = text;
        size_t pos = 0;
        int start = ResolveFontNumber(liner_, standard_, standard_);
        if (!text.empty() && text[0] == kFontChange) {
            if (text.size() >= 2) start = Resolve(text[1]);
            pos = 2;
        }
        cur_ = start;
        Select(cur_);
        StartRow(cur_);
        pos_ = pos;

        while (pos_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[pos_]);
            if (c == static_cast<unsigned char>(kFontChange)) {
                if (pos_ + 1 < text_.size()) {
                    cur_ = Resolve(text_[pos_ + 1]);
                    Select(cur_);
                    // A change that no character uses is overtaken by the
                    // next: only fonts that carry characters count in a row.
                    if (row_.items.back().kind == Kind::Font) {
                        row_.items.back().value = cur_;
                    } else {
                        row_.items.push_back({Kind::Font, cur_, 0});
                    }
                }
                pos_ += 2;
                continue;
            }
            unsigned char ch = c;
            bool tabBreak = false;
            if (c == kTabByte) {
                switch (DecideTab()) {
                    case TabAction::AsSpace:
                        ch = ' ';
                        break;
                    case TabAction::Placed:
                        ++pos_;
                        continue;
                    case TabAction::Break:
                        tabBreak = true;
                        break;
                }
            }
            if (!tabBreak) {
                if (prevSpace_ && ch != ' ') {
                    word_ = {true, row_.items.size(), pos_, cur_, rowWidth_};
                }
                const int w = Measure(ch);
                // A row with nothing in it takes the character whatever its
                // width: a narrower row could never hold it.
                if (rowWidth_ + w <= limit_ || !HasContent(row_)) {
                    row_.items.push_back({Kind::Char, ch, w});
                    rowWidth_ += w;
                    prevSpace_ = ch == ' ';
                    ++pos_;
                    continue;
                }
            }
            Break(ch, tabBreak);
        }
        // A change at the very end belongs to the next item, not to this
        // row's height.
        CloseRow();
    }

    // The font in effect after the item: the next item starts in it.
    int EndFont() const { return cur_; }

private:
    enum class TabAction { AsSpace, Placed, Break };

    struct WordStart {
        bool valid = false;
        size_t item = 0;  // index of the word's first item in the row
        size_t pos = 0;   // its position in the text
        int font = 0;
        int rowWidth = 0;  // the row's width before it
    };

    int Resolve(char number) const {
        return ResolveFontNumber(liner_, static_cast<unsigned char>(number), standard_);
    }

    void Select(int number) { SelectFont(surface_, liner_, number, standard_, true); }

    int Measure(unsigned char ch) {
        const char c = static_cast<char>(ch);
        return surface_.TextExtent(std::string_view(&c, 1));
    }

    void StartRow(int font) {
        row_ = LayoutRow{};
        row_.items.push_back({Kind::Font, font, 0});
        rowWidth_ = 0;
        prevSpace_ = false;
        word_ = {};
    }

    // A font change that ends the row is left to what follows it (the next
    // row or item starts in the current font anyway).
    void CloseRow() {
        while (row_.items.size() > 1 && row_.items.back().kind == Kind::Font) {
            row_.items.pop_back();
        }
        row_.width = rowWidth_;
        rows_.push_back(std::move(row_));
    }

    TabAction DecideTab() {
        const auto& stops = liner_.tabStops;
        auto firstStop = std::upper_bound(stops.begin(), stops.end(), leftX_,
                                          [](int v, int16_t s) { return v < s; });
        if (firstStop == stops.end() || *firstStop >= leftX_ + limit_) return TabAction::AsSpace;
        auto stop = std::upper_bound(stops.begin(), stops.end(), leftX_ + rowWidth_,
                                     [](int v, int16_t s) { return v < s; });
        const bool fresh = !HasContent(row_);
        if (stop == stops.end()) return fresh ? TabAction::AsSpace : TabAction::Break;

        // The word after the tab must fit behind the stop, unless the row is
        // empty: breaking an empty row would only repeat itself.
        if (!fresh && *stop - leftX_ + NextWordWidth() >= limit_) return TabAction::Break;

        rowWidth_ = *stop - leftX_;
        row_.items.push_back({Kind::Tab, static_cast<int>(stop - stops.begin()), 0});
        prevSpace_ = true;
        return TabAction::Placed;
    }

    // The width of the word after the tab at pos_: up to a space after at
    // least one character, a tab, or the end; font changes followed.
    int NextWordWidth() {
        int width = 0;
        int counted = 0;
        size_t p = pos_ + 1;
        bool changed = false;
        while (p < text_.size()) {
            const unsigned char b = static_cast<unsigned char>(text_[p]);
            if (b == static_cast<unsigned char>(kFontChange)) {
                if (p + 1 < text_.size()) {
                    Select(Resolve(text_[p + 1]));
                    changed = true;
                }
                p += 2;
                continue;
            }
            if (b == kTabByte || (b == ' ' && counted > 0)) break;
            width += Measure(b);
            ++counted;
            ++p;
        }
        if (changed) Select(cur_);
        return width;
    }

    void TrimTrailingSpaces() {
        std::vector<RowItem> fonts;
        while (row_.items.size() > 1 && row_.items.back().kind == Kind::Font) {
            fonts.push_back(row_.items.back());
            row_.items.pop_back();
        }
        while (row_.items.size() > 1 && row_.items.back().kind == Kind::Char &&
               row_.items.back().value == ' ') {
            rowWidth_ -= row_.items.back().width;
            row_.items.pop_back();
        }
        row_.items.insert(row_.items.end(), fonts.rbegin(), fonts.rend());
    }

    // `ch` did not fit (or, with `isTab`, the tab at pos_ must go to a new row).
    void Break(unsigned char ch, bool isTab) {
        if (!broken_) {
            broken_ = true;
            limit_ -= wrap_;
            leftX_ += wrap_;
        }
        TrimTrailingSpaces();

        if (!isTab && ch == ' ') {
            size_t p = pos_;
            while (p < text_.size() &&
                   (text_[p] == ' ' || static_cast<unsigned char>(text_[p]) == kTabByte)) {
                ++p;
            }
            pos_ = p;
            // At the end of the item the row stays open; the end closes it.
            if (p >= text_.size()) return;
            if (text_[p] == kFontChange) {
                if (p + 1 < text_.size()) {
                    cur_ = Resolve(text_[p + 1]);
                    Select(cur_);
                }
                pos_ = p + 2;
            }
            CloseRow();
            StartRow(cur_);
            return;
        }
        if (prevSpace_ || isTab) {
            // The character (or tab) starts the next row.
            CloseRow();
            StartRow(cur_);
            return;
        }
        if (!word_.valid) {
            SplitWord(ch);
            return;
        }
        // Back to the start of the word: the spaces before it stay in the
        // row, the word goes to the next.
        row_.items.resize(word_.item);
        rowWidth_ = word_.rowWidth;
        cur_ = word_.font;
        Select(cur_);
        pos_ = word_.pos;
        CloseRow();
        StartRow(cur_);
    }

    // One word wider than the row: its last character in the row becomes
    // "-" and moves to the next row, followed by `ch`.
    void SplitWord(unsigned char ch) {
        size_t last = row_.items.size();
        int chars = 0;
        for (size_t i = 0; i < row_.items.size(); ++i) {
            if (row_.items[i].kind == Kind::Char) {
                last = i;
                ++chars;
            }
        }
        if (chars < 2) {
            // Nothing left to split off: the row keeps its one character.
            CloseRow();
            StartRow(cur_);
            return;
        }
        int movedFont = standard_;
        for (size_t i = 0; i < last; ++i) {
            if (row_.items[i].kind == Kind::Font) movedFont = row_.items[i].value;
        }
        const RowItem moved = row_.items[last];
        Select(movedFont);
        const int hyphen = Measure('-');
        row_.items.resize(last + 1);
        row_.items[last] = {Kind::Char, '-', hyphen};
        rowWidth_ += hyphen - moved.width;
        CloseRow();

        StartRow(movedFont);
        row_.items.push_back(moved);
        rowWidth_ = moved.width;
        if (movedFont != cur_) row_.items.push_back({Kind::Font, cur_, 0});
        Select(cur_);
        const int w = Measure(ch);
        row_.items.push_back({Kind::Char, ch, w});
        rowWidth_ += w;
        ++pos_;
    }

    Surface& surface_;
    Liner& liner_;
    const int standard_;
    int limit_;
    int leftX_;
    const int wrap_;
    std::vector<LayoutRow>& rows_;

    std::string_view text_;
    size_t pos_ = 0;
    int cur_ = 0;
    LayoutRow row_;
    int rowWidth_ = 0;
    bool prevSpace_ = false;
    bool broken_ = false;
    WordStart word_;
};

int AlignedX(int alignment, int base, int width, int rowWidth, int left, int right, int indent) {
    switch (alignment) {
        case kAlignCentered:
            return base + left + (width - rowWidth - left - right - indent) / 2;
        case kAlignRight:
            return base + width - rowWidth - right - indent;
        default:
            return base + indent + left;
    }
}

}  // namespace

std::string LayoutRow::Text() const {
    std::string text;
    for (const RowItem& item : items) {
        if (item.kind == Kind::Char) text += static_cast<char>(item.value);
    }
    return text;
}

int Spacing(const Measurement& spacing, int rowHeight) {
    return ResolveAgainstLineHeight(spacing, rowHeight);
}

std::vector<std::string_view> SplitItems(std::string_view text, int count) {
    std::vector<std::string_view> items;
    size_t pos = 0;
    while (static_cast<int>(items.size()) < count) {
        std::string_view rest = text.substr(std::min(pos, text.size()));
        const size_t length = ItemLength(rest);
        items.push_back(rest.substr(0, std::min(length, rest.size())));
        pos += length;
        if (pos >= text.size() || text[pos] != '\r') break;  // the end, or a NUL
        ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return items;
}

int LayOut(Surface& surface, Liner& liner, int& fontNumber, int width, std::string_view item,
           int leftX, int wrapIndent, const Measurement& within, RowBuffer& rows) {
    rows.rows.clear();
    rows.height = 0;
    const LogFont saved = surface.Font();

    item = item.substr(0, std::min(ItemLength(item), item.size()));
    RowBreaker breaker(surface, liner, fontNumber, width, leftX, wrapIndent, rows.rows);
    breaker.Run(item);

    // Row metrics: the largest cell and descent over the fonts of each row.
    std::map<int, SurfaceFontMetrics> metrics;
    auto metricsOf = [&](int number) {
        auto it = metrics.find(number);
        if (it != metrics.end()) return it->second;
        surface.SetFont(FontEntryFor(liner, number, fontNumber).logFont);
        return metrics[number] = surface.Metrics();
    };
    long long height = 0;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        LayoutRow& row = rows.rows[i];
        row.height = 0;
        row.descent = 0;
        for (const RowItem& it : row.items) {
            if (it.kind != Kind::Font) continue;
            SurfaceFontMetrics m = metricsOf(it.value);
            row.height = std::max(row.height, m.height);
            row.descent = std::max(row.descent, m.descent);
        }
        height += row.height;
        if (i > 0) height += Spacing(within, rows.rows[i - 1].height);
    }
    rows.height = static_cast<int>(height);
    rows.startFont = rows.rows.front().items.front().value;
    fontNumber = breaker.EndFont();
    surface.SetFont(saved);
    return rows.height;
}

RowBuffer LayOutUnbroken(Surface& surface, Liner& liner, int standardFont, std::string_view text) {
    RowBuffer rows;
    int font = standardFont;
    LayOut(surface, liner, font, kUnbrokenWidth, text, 0, 0, Measurement{}, rows);
    return rows;
}

int DrawRows(Surface& surface, Liner& liner, int y, int x, int width, const RowBuffer& rows,
             const AreaFormat& format, bool reverseVideo, int turnedExtent, FirstPosition* first) {
    if (first) *first = {};
    if (rows.rows.empty()) {
        if (first) *first = {false, x, y};
        return y;
    }
    const LogFont savedFont = surface.Font();
    const SurfaceColor savedColor = surface.TextColor();
    const BackgroundMode savedMode = surface.Background();
    surface.SetBackground(BackgroundMode::Transparent);

    const int standard = rows.rows.front().items.front().value;
    const int rotation = FontEntryFor(liner, standard, standard).logFont.RotationDegrees();
    const int L = format.left.twips;
    const int R = format.right.twips;
    const int X = x;
    const int Wd = width;
    const int E = turnedExtent;
    const int paperWidth = liner.width.twips;
    // Upside down, the margins and the outer alignments trade places.
    int alignment = format.alignment;
    if (alignment != kAlignCentered && alignment != kAlignRight) alignment = kAlignLeft;
    const int flippedAlignment =
        alignment == kAlignLeft ? kAlignRight : (alignment == kAlignRight ? kAlignLeft : alignment);

    bool drewAny = false;
    int baseline = y - (rows.rows.front().height - rows.rows.front().descent);
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        const LayoutRow& row = rows.rows[r];
        const int I = r == 0 ? 0 : format.wrap.twips;
        const int rw = row.width;
        const int B = baseline;
        int o = 0;
        std::string segment;
        int segmentWidth = 0;

        auto flush = [&]() {
            if (segment.empty()) return;
            int sx = 0;
            int sy = 0;
            int fx = 0;
            int fy = 0;
            const int h = row.height;
            switch (rotation) {
                case 90: {
                    int t = AlignedX(alignment, 0, Wd, rw, L, R, I);
                    sx = B + paperWidth;
                    sy = -(X + o + t);
                    fx = sx + h;
                    fy = sy;
                    o += segmentWidth;
                    break;
                }
                case 180:
                    sx = AlignedX(flippedAlignment, X + o + rw, Wd, rw, R, L, I);
                    sy = -(B + E);
                    fx = sx;
                    fy = sy - h;
                    o -= segmentWidth;
                    break;
                case 270: {
                    int c;
                    if (alignment == kAlignCentered) {
                        c = X + o + rw + R + (Wd - L - R - I - rw) / 2;
                    } else if (alignment == kAlignRight) {
                        c = X + o + rw + I + R;
                    } else {
                        c = X + o + Wd - L - I;
                    }
                    sx = -B;
                    sy = -c;
                    fx = sx - h;
                    fy = sy;
                    o -= segmentWidth;
                    break;
                }
                default:
                    sx = AlignedX(alignment, X + o, Wd, rw, L, R, I);
                    sy = B;
                    fx = sx;
                    fy = sy + h;
                    o += segmentWidth;
                    break;
            }
            surface.DrawText(sx, sy, segment);
            if (!drewAny && first) *first = {true, fx, fy};
            drewAny = true;
            segment.clear();
            segmentWidth = 0;
        };

        for (const RowItem& item : row.items) {
            switch (item.kind) {
                case Kind::Char:
                    segment += static_cast<char>(item.value);
                    segmentWidth += item.width;
                    break;
                case Kind::Font:
                    flush();
                    SelectFont(surface, liner, item.value, standard, reverseVideo);
                    break;
                case Kind::Tab: {
                    flush();
                    if (item.value < 0 || static_cast<size_t>(item.value) >= liner.tabStops.size()) {
                        break;
                    }
                    const int tab = liner.tabStops[static_cast<size_t>(item.value)];
                    switch (rotation) {
                        case 180: o = X + I + R - tab; break;
                        case 270: o = I + L + E - X - tab; break;
                        default: o = tab - X - L - I; break;
                    }
                    break;
                }
            }
        }
        flush();

        if (r + 1 < rows.rows.size()) {
            const LayoutRow& next = rows.rows[r + 1];
            baseline = baseline - row.descent - Spacing(format.within, row.height) -
                       (next.height - next.descent);
        }
    }
    if (!drewAny && first) *first = {false, x, baseline};

    surface.SetFont(savedFont);
    surface.SetTextColor(savedColor);
    surface.SetBackground(savedMode);
    return baseline;
}

bool DrawTitleArea(Surface& surface, Liner& liner, const LinerGeometry& geometry) {
    if (liner.title.lineCount <= 0) return true;
    // The lines are views into the title text, which drawing leaves alone.
    const std::string text = liner.title.text;
    const std::vector<std::string_view> lines = SplitItems(text, liner.title.lineCount);
    if (lines.empty()) return true;

    const AreaFormat t = liner.titleFormat;
    const DepthSpan span = TitleSpan(geometry);
    const int T = geometry.titleHeight;
    const int width = geometry.width - t.right.twips - t.left.twips + 1;
    const int leftX = t.left.twips;
    const int wrap = t.wrap.twips;
    const bool center = liner.centerTitleVertically != 0;
    RowBuffer rows;

    int depth = span.top + t.top.twips;
    int gap = 0;
    if (center) {
        long long sum = 0;
        int font = kFontTitle;
        for (std::string_view line : lines) {
            sum += LayOut(surface, liner, font, width, line, leftX, wrap, t.within, rows);
        }
        const long long n = static_cast<long long>(lines.size());
        gap = static_cast<int>((T - sum - t.top.twips - t.bottom.twips) / (n + 1));
        depth += gap;
        if (gap == 0) depth += 2;
    }

    int font = kFontTitle;
    int textBottom = depth;
    for (std::string_view line : lines) {
        LayOut(surface, liner, font, width, line, leftX, wrap, t.within, rows);
        const int baseline =
            DrawRows(surface, liner, -depth, 0, geometry.width + 1, rows, t, false, 2 * span.top + T);
        const LayoutRow& last = rows.rows.back();
        textBottom = -baseline + last.descent;
        depth = textBottom + (center ? gap : Spacing(t.between, last.height));
    }
    // Beyond the area's edges, not merely into its margins.
    return textBottom <= span.bottom && (!center || gap + t.top.twips >= 0);
}

SongSideResult DrawSongSide(Surface& surface, Liner& liner, const LinerGeometry& geometry,
                            const SongSide& side, int& overflowIndex, Prompter& prompter,
                            bool& songFitWarning) {
    SongSideResult result;
    result.depth = side.startDepth;
    if (!side.songs || side.songs->lineCount <= 0 || !side.primary || !side.overflow) return result;

    const std::string text = side.songs->text;
    const std::vector<std::string_view> songs = SplitItems(text, side.songs->lineCount);
    const int lastArea = std::max(geometry.overflowCount, 0);
    overflowIndex = std::clamp(overflowIndex, 0, lastArea);
    auto formatOf = [&](int index) -> const AreaFormat& {
        return index == 0 ? *side.primary : *side.overflow;
    };
    auto limitOf = [&](int index) {
        return SongAreaSpan(geometry, index).bottom - formatOf(index).bottom.twips;
    };

    RowBuffer rows;
    int font = kFontSong;
    int depth = side.startDepth;
    for (size_t i = 0; i < songs.size(); ++i) {
        const AreaFormat& laid = formatOf(overflowIndex);
        LayOut(surface, liner, font, side.columnWidth - laid.right.twips - laid.left.twips,
               songs[i], side.columnX + laid.left.twips, laid.wrap.twips, laid.within, rows);
        if (static_cast<long long>(depth) + rows.height > limitOf(overflowIndex)) {
            if (overflowIndex >= lastArea) {
                result.allFit = false;
                result.songsLeftOut = static_cast<int>(songs.size() - i);
                if (songFitWarning) {
                    songFitWarning = false;
                    ShowMessage(prompter, MessageOwner::MainWindow(), ErrorStyle(),
                                IDS_SONGS_WONT_FIT, {side.sideName});
                }
                break;
            }
            ++overflowIndex;
            // The song keeps its rows and is drawn even if taller than the area.
            depth = SongAreaSpan(geometry, overflowIndex).top + side.overflow->top.twips;
        }
        const AreaFormat& current = formatOf(overflowIndex);
        const DepthSpan area = SongAreaSpan(geometry, overflowIndex);
        FirstPosition firstRow;
        const int baseline = DrawRows(surface, liner, -depth, side.columnX, side.columnWidth, rows,
                                      current, false, 2 * area.top + area.height(), &firstRow);
        if (i == 0) result.firstSong = firstRow;
        const LayoutRow& last = rows.rows.back();
        result.depth = -baseline + last.descent;
        depth = result.depth;
        if (i + 1 < songs.size()) depth += Spacing(current.between, last.height);
    }
    return result;
}
