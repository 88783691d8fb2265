// The main window: five pages (expected and valid animations, expected and valid states, the
// character's statistics, the storage listing, a notice), the File menu with Open, Save and Exit,
// and the path of the open character in the menu bar. One run of the program checks one
// character file. The commands are short sequences of calls into the checking library; the window
// only moves their results into its controls. Activating the line of a stream on the StoFile
// page, or a valid animation, opens a stream viewer of its own for that stream.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <string>
#include <vector>

#include "app/stofile_listing.h"
#include "checking/provider_connection.h"
#include "platform/linelist.h"
#include "platform/prompts.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class ListBox;
class Memo;
class PathCaption;
class StreamViewer;

class TForm1 : public QMainWindow {
public:
    // Builds the window and runs FormCreate; every dialog goes through `prompts`.
    explicit TForm1(Prompts& prompts);
    // Runs FormDestroy.
    ~TForm1() override;

    // Commands, as the menu and the buttons run them (errors are shown through the prompts).
    void Open1Click();
    void Save1Click();
    void Exit1Click();
    void Button1Click();
    void Button2Click();

    // The window's operations; errors leave them.
    void OpenCharacterStoFile(const std::string& path);
    void GetAvailLists();
    void InitDataProv();
    void VerifyAnims();
    void VerifyStates();
    void SaveVerifyFiles();
    // A new stream viewer for the stream at `element` in the open character file.
    void OpenStreamViewer(const std::vector<std::string>& element);
    // The stream viewers open now, oldest first.
    std::vector<StreamViewer*> StreamViewers() const;

    // State for the whole run.
    std::string CharFileName;
    std::u16string CharName;
    std::string StartDir;
    std::string CharFileDir;
    LineList ElementLines;
    StoFileListing StoFileElements;  // which element each StoFile line stands for
    ProviderLink Connection;  // Provider, DocFile and Character

    // Controls.
    QFrame* Bevel2;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QWidget* TabSheet5;
    QLabel* Label3;
    QLabel* Label4;
    Memo* Memo1;
    ListBox* ListBox1;
    QPushButton* Button1;
    QLabel* Label1;
    QLabel* Label2;
    Memo* Memo2;
    ListBox* ListBox2;
    QPushButton* Button2;
    QFrame* Bevel1;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* Label14;
    QLabel* Label15;
    QLabel* Label16;
    QLabel* Label22;
    QLabel* Label17;
    ListBox* ListBox3;
    QFrame* Bevel3;
    QLabel* Label19;
    QLabel* Label18;
    QLabel* Label20;
    QLabel* Label21;
    QLabel* Label24;
    QLabel* Label25;
    QMenu* Fille1;
    QAction* Open1;
    QAction* Save1;
    QAction* Exit1;
    PathCaption* Path1;

protected:
    // Closes the stream viewers with the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void CreatePages();
    void CreateAnimationsPage();
    void CreateStatesPage();
    void CreateStatsPage();
    void CreateStoFilePage();
    void CreateNoticePage();
    void CreateMenu();

    Prompts& prompts_;
    std::vector<QPointer<StreamViewer>> viewers_;  // a viewer deletes itself when closed
};
