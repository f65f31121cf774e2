#include "dialogs/format_commands.h"

#include <QPointer>
#include <memory>

#include "platform/commands.h"
#include "dialogs/dialog_host.h"
#include "dialogs/format_features_dialog.h"
#include "dialogs/format_liner_dialog.h"
#include "dialogs/format_sides_dialog.h"
#include "dialogs/format_songs_dialog.h"
#include "dialogs/format_title_dialog.h"

namespace {

template <typename D, typename Make>
D* Activate(QPointer<D>& slot, Make make) {
    if (!slot || slot->closing()) slot = make();
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

}  // namespace

void InstallFormatDialogs(DialogHost& host) {
    // One slot per dialog: each exists at most once.
    struct Slots {
        QPointer<FormatDialog> title, songs, liner;
    };
    auto open = std::make_shared<Slots>();
    host.SetCommandHandler(kCmdFormatTitle, [&host, open] {
        Activate(open->title, [&host] { return new FormatTitleDialog(host); });
    });
    host.SetCommandHandler(kCmdFormatLiner, [&host, open] {
        Activate(open->liner, [&host] { return new FormatLinerDialog(host); });
    });
    const std::pair<int, int> songCommands[] = {{kCmdFormatSongs, kSideAPrimaryArea},
                                                {kCmdSongsAPrimary, kSideAPrimaryArea},
                                                {kCmdSongsBPrimary, kSideBPrimaryArea},
                                                {kCmdSongsAOverflow, kSideAOverflowArea},
                                                {kCmdSongsBOverflow, kSideBOverflowArea}};
    for (const auto& [command, area] : songCommands) {
        host.SetCommandHandler(command, [&host, open, area = area] {
            Activate(open->songs, [&host, area] { return new FormatSongsDialog(host, area); });
        });
    }
}

void InstallFeatureDialogs(DialogHost& host) {
    struct Slots {
        QPointer<FormatFeaturesDialog> features;
        QPointer<FormatSidesDialog> sides;
    };
    auto open = std::make_shared<Slots>();
    host.SetCommandHandler(kCmdFormatFeatures, [&host, open] {
        Activate(open->features, [&host] { return new FormatFeaturesDialog(host); });
    });
    const struct {
        int command, location, side;
    } sideCommands[] = {{kCmdFormatSides, kSideAFlap, 0},
                        {kCmdSidesAFlap, kSideAFlap, 0},
                        {kCmdSidesBFlap, kSideBFlap, 1},
                        {kCmdSidesAPrimary, kSideAPrimary, 0},
                        {kCmdSidesBPrimary, kSideBPrimary, 1}};
    for (const auto& c : sideCommands) {
        host.SetCommandHandler(c.command, [&host, open, c] {
            Activate(open->sides, [&host, c] { return new FormatSidesDialog(host, c.location, c.side); });
        });
    }
}
