// Format Pictures: adds picture files to the Liner's picture list, removes
// them, and sets where each one is drawn, typed or computed from an area of
// the liner.  Delete changes the list at once; a picture being added is held
// here until it is stored (Apply, OK, or a Yes or No to the save question),
// so that only what the dialog applies becomes a step of the history.  Apply
// and OK store the rectangle of the picture on show.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/file_dialogs.h"
#include "document/liner.h"
#include "pictures/picture_host.h"

class DialogHost;
class LinerDocument;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Measurement;

// Chooses the picture file to add; nothing when the user cancels.
using PictureFileChooser =
    std::function<std::optional<FileDialogResult>(QWidget* owner, const FileDialogRequest& request)>;

// The codes of the Stretch and Center choices; overflow area k (from 1) is
// kPlaceOverflowBase + k.
enum PlacementCode : int {
    kPlaceNone = 1000,
    kPlaceOriginalSize = 1001,
    kPlaceEntireLiner = 1002,
    kPlaceAllButOverflow = 1003,
    kPlaceFeatureFlap = 1004,
    kPlaceTitle = 1005,
    kPlacePrimarySong = 1006,
    kPlaceOverflowBase = 1006,
};

class FormatPicturesDialog : public QDialog {
    Q_OBJECT

public:
    FormatPicturesDialog(DialogHost& host, PictureFileChooser chooser);

    // Applies the Stretch and Center choices to the fields, then stores the
    // picture on show.  False, with the offending field focused, when a field
    // does not read.
    bool Apply();
    // Whether the fields show anything the picture on show does not hold.
    bool HasChanges();
    // Cancel, Esc and the close box.  True when the dialog closed.
    bool RequestClose();
    bool closing() const { return closing_; }
    void reject() override;

    // The picture on show, or -1 when there is none.  While a picture is
    // being added it is the last item of the list, one past the Liner's.
    int current() const;
    bool adding() const { return added_.has_value(); }
    // The picture being added, not yet in the Liner.
    const std::optional<Picture>& addedPicture() const { return added_; }
    // Shows picture `index` of the Liner, as choosing it in the list does
    // (asking first about unstored changes to the one on show).  False when
    // the user kept the picture on show or there is no such picture.
    bool SelectPicture(int index);

    QComboBox* pictureList() const { return list_; }
    QComboBox* stretchList() const { return stretch_; }
    QComboBox* centerList() const { return center_; }
    QComboBox* fitList() const { return fit_; }
    // The thumbnail of the picture on show.
    QLabel* thumbnail() const { return thumbnail_; }
    // Says when the size shown is not the picture's own (it is larger than
    // the liner); hidden otherwise.
    QLabel* sizeNote() const { return sizeNote_; }
    // Left, Top, Width, Height.
    QLineEdit* field(int i) const { return fields_[i]; }
    QPushButton* addButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* applyButton() const { return apply_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillPlacements();
    void Refill();
    bool InStep() const;
    void SetListIndex(int index);
    void EnablePictureControls(bool on);
    void ShowPicture(int index);
    // The picture on show: the one being added, or one of the Liner's.
    const Picture* Shown() const;
    void ClearFields();
    // Every Stretch, Center and Fit choice back to "(none)": they belong to
    // the picture they were chosen for.
    void ResetPlacements();
    void ShowLength(int field, int twips);

    void ApplyStretch();
    void ApplyFit();
    void ShowThumbnail(const Picture* picture);
    bool ApplyCenter();
    bool Store();
    std::optional<Measurement> ReadField(int field, bool negate, bool quiet);
    // Asks about unstored changes to the picture on show.  False when the
    // user keeps them (Cancel) or they cannot be stored.  On No a picture
    // being added is dropped when `dropAdded`, else kept with a zero rectangle.
    bool ResolveChanges(bool dropAdded);
    void RemoveAddedPicture();
    // Puts the picture being added into the Liner as one step.
    void StoreAdded(const QString& stepName);

    void PictureChosen(int index);
    void AddClicked();
    void AddPicture();
    void DeleteClicked();
    void Finish();

    DialogHost& host_;
    LinerDocument& document_;
    PictureFileChooser chooser_;

    QLabel* listLabel_ = nullptr;
    QComboBox* list_ = nullptr;
    QLabel* fieldLabels_[4] = {};
    QLineEdit* fields_[4] = {};
    QLabel* stretchLabel_ = nullptr;
    QComboBox* stretch_ = nullptr;
    QLabel* centerLabel_ = nullptr;
    QComboBox* center_ = nullptr;
    QLabel* fitLabel_ = nullptr;
    QComboBox* fit_ = nullptr;
    QLabel* thumbnail_ = nullptr;
    QLabel* sizeNote_ = nullptr;
    // Shares the decoded pictures the view draws.
    PictureImages thumbnails_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;

    int current_ = 0;
    int before_ = -1;  // the picture on show before the last Add
    std::optional<Picture> added_;
    bool settingList_ = false;
    bool closing_ = false;
    // Whether the fields held unstored edits when the Liner last changed.
    bool editing_ = false;
    int px_ = 15;  // twips of one screen pixel
    // The file names the Picture list was built from, to notice when the
    // Liner's picture list has been replaced behind the dialog's back.
    std::vector<std::string> names_;
};

// The name a picture is listed by: its file name without the folder.
std::string PictureDisplayName(const std::string& fileName);

// Makes Format Pictures (command 5) open the dialog, or bring it forward when
// it is open.  Without a chooser the program's file dialog is used.
void InstallPicturesDialog(DialogHost& host, PictureFileChooser chooser = {});
