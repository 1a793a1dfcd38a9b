#include "shell/Form7.h"

#include <QPlainTextEdit>

#include "platform/PasteGuard.h"
#include "platform/QtText.h"
#include "platform/Twips.h"

namespace shell {

const char* const kDisclaimerText =
    "Trotwick uses your network connection.\r\n"
    "\r\n"
    "While it runs, the game keeps in touch with its online-services server: it asks the server whether "
    "a newer version is available and keeps the chat connected. When a newer version is found, the "
    "update program is downloaded from the server into the game's folder and waits there: it is started on "
    "your computer only when you press \"Start Patch\" on the screen that announces it. Scores you submit to "
    "the leader's board and lines you type into the chat are sent to the server together with your user "
    "name.\r\n"
    "\r\n"
    "When you host or join a LAN game, the game connects your computer with the other players' "
    "computers; hosting a game lets other computers connect to yours. Messages to your contacts are sent "
    "over your local network.\r\n"
    "\r\n"
    "Only use these features on networks you are allowed to use, and only with a server you trust. The "
    "game is provided as it is, without any warranty. Its authors accept no responsibility for damage, "
    "lost data or network charges that come from its use.";

Form7::Form7(QWidget* owner) : FormWindow(owner, "Form7", QStringLiteral("Disclaimer"), 7200, 4920) {
    SetBackColor(0xE0E0E0);
    Text1 = new platform::PlainTextBox(this);
    Text1->setObjectName("Text1");
    Text1->setReadOnly(true);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setPlainText(platform::ToQStringLines(kDisclaimerText));
    platform::PlaceTwips(Text1, 120, 120, 6960, 4680);
    CloseOnEscape();
}

}  // namespace shell
