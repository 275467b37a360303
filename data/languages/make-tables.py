#!/usr/bin/env python3
"""Writes the stock language tables from the texts below.

A table is UTF-16LE with a byte-order mark and CR LF line ends: line 1 the display name, line 2
the language ids (hexadecimal, each followed by ';'), then one numbered text per line.
<BR> is a line break, <%...%> a placeholder, <LANGn> another text of the same table.

Run from anywhere: python3 make-tables.py  (rewrites install/*.wri and uninstall/*.wri here).

Text numbers:
  1-2   welcome page title and text        3-4   change-log page title and text
  5-6   install-folder page title and text 7     free space ("<%SPACEAVA%>")
  8-9   ready page title and text           10    run page title      11 finish page title
  12-16 buttons: Back, Next, Cancel, Next on the ready page, Cancel on the finish page
  17    copying a file ("<%FILENAME%>")    18    extracting an entry ("<%FILENAME%>")
  19    item progress ("<%QXPNAME%>", "<%FNUM%>", "<%FTOTAL%>")
  20    writing an archive header           21    run page text    22 language page text
  23    failed run                          24-25 removal phases (registry values, folders)
  26    added to the uninstaller's title    27-28 quit question and its caption
  29    loading an archive                  30    finish page text
  31-32 licence page title and text         33-34 licence choices: accept, do not accept
"""

import os

ENGLISH_IDS = ("0c09;2809;1009;2409;4009;1809;2009;4409;1409;3409;4809;1c09;2c09;0809;0409;"
               "3009;")
CZECH_IDS = "0405;"

INSTALL_EN = {
    1: "Welcome to the <%SETUPTITLE%> Setup",
    2: "This wizard installs <%SETUPTITLE%> on your computer.<BR><BR>Please close all other "
       "programs before you go on.<BR><BR>Click Next to continue.",
    3: "What is new in <%SETUPSHORTTITLE%>",
    4: "Please read the list of changes below, then click Next to continue.",
    5: "Choose the Install Folder",
    6: "Setup installs <%SETUPTITLE%> in the folder below. To install it elsewhere, type another "
       "folder or pick one in the list.<BR><BR>Space required <%SPACEREQ%>",
    7: "Space available <%SPACEAVA%>",
    8: "Ready to Install",
    9: "Setup is ready to install <%SETUPTITLE%>.<BR><BR>Click Install to start, or Back to "
       "change your choices.",
    10: "Installing <%SETUPSHORTTITLE%>",
    11: "<%SETUPTITLE%> Is Installed",
    12: "< Back",
    13: "Next >",
    14: "Cancel",
    15: "Install",
    16: "Finish",
    17: "Copying File <%FILENAME%>",
    18: "Extracting <%FILENAME%>",
    19: "Processing <%QXPNAME%>: <%FNUM%> of <%FTOTAL%> files",
    20: "Writing the header of <%QXPNAME%>",
    21: "Please wait while Setup installs <%SETUPTITLE%>.",
    22: "Choose the language of the installed program:",
    23: "Setup failed to install.",
    24: "registry values: ",
    25: "folders: ",
    26: "Uninstallation",
    27: "Are you sure you want to quit the installation?",
    28: "Quit",
    29: "Loading <%QXPNAME%>",
    30: "Setup has installed <%SETUPTITLE%> on your computer.<BR><BR>Click Finish to close "
        "Setup.",
    31: "License Agreement",
    32: "Please read the license agreement below. You must accept it to install "
        "<%SETUPSHORTTITLE%>.",
    33: "I accept the agreement",
    34: "I do not accept the agreement",
}

INSTALL_CS = {
    1: "Vítá vás instalace programu <%SETUPTITLE%>",
    2: "Tento průvodce nainstaluje program <%SETUPTITLE%> do vašeho počítače.<BR><BR>Než budete "
       "pokračovat, zavřete prosím všechny ostatní programy.<BR><BR>Pokračujte tlačítkem Další.",
    3: "Co je nového v programu <%SETUPSHORTTITLE%>",
    4: "Přečtěte si prosím seznam změn a pokračujte tlačítkem Další.",
    5: "Výběr cílové složky",
    6: "Instalace umístí program <%SETUPTITLE%> do níže uvedené složky. Chcete-li jej "
       "nainstalovat jinam, napište jinou složku nebo ji vyberte v seznamu.<BR><BR>Potřebné "
       "místo: <%SPACEREQ%>",
    7: "Volné místo: <%SPACEAVA%>",
    8: "Připraveno k instalaci",
    9: "Vše je připraveno k instalaci programu <%SETUPTITLE%>.<BR><BR>Instalaci spustíte "
       "tlačítkem Instalovat, tlačítkem Zpět můžete své volby změnit.",
    10: "Instalace programu <%SETUPSHORTTITLE%>",
    11: "Program <%SETUPTITLE%> je nainstalován",
    12: "< Zpět",
    13: "Další >",
    14: "Storno",
    15: "Instalovat",
    16: "Dokončit",
    17: "Kopíruji soubor <%FILENAME%>",
    18: "Rozbaluji <%FILENAME%>",
    19: "Zpracovávám <%QXPNAME%>: <%FNUM%> z <%FTOTAL%> souborů",
    20: "Zapisuji hlavičku archivu <%QXPNAME%>",
    21: "Počkejte prosím, než se program <%SETUPTITLE%> nainstaluje.",
    22: "Vyberte jazyk instalovaného programu:",
    23: "Instalace se nezdařila.",
    24: "položky registru: ",
    25: "složky: ",
    26: "– odinstalace",
    27: "Opravdu chcete instalaci ukončit?",
    28: "Ukončit",
    29: "Načítám <%QXPNAME%>",
    30: "Program <%SETUPTITLE%> byl úspěšně nainstalován.<BR><BR>Instalaci zavřete tlačítkem "
        "Dokončit.",
    31: "Licenční smlouva",
    32: "Přečtěte si prosím licenční smlouvu. Program <%SETUPSHORTTITLE%> lze nainstalovat, "
        "jen pokud ji přijmete.",
    33: "Souhlasím se smlouvou",
    34: "Nesouhlasím se smlouvou",
}

UNINSTALL_EN = dict(INSTALL_EN)
UNINSTALL_EN.update({
    1: "Uninstall <%SETUPTITLE%>",
    2: "This wizard removes <%SETUPTITLE%> from your computer.<BR><BR>Please close "
       "<%SETUPSHORTTITLE%> before you go on.<BR><BR>Click Next to continue.",
    5: "Installed Folder",
    6: "<%SETUPTITLE%> is removed from the folder it was installed in.",
    7: "",
    8: "Ready to Uninstall",
    9: "Setup is ready to remove <%SETUPTITLE%>.<BR><BR>Click Uninstall to start, or Cancel to "
       "keep the program.",
    10: "Uninstalling <%SETUPSHORTTITLE%>",
    11: "<%SETUPTITLE%> Is Removed",
    15: "Uninstall",
    19: "Removing <%QXPNAME%><%FNUM%> of <%FTOTAL%>",
    21: "Please wait while Setup removes <%SETUPTITLE%>.",
    23: "Setup failed to uninstall.",
    27: "Are you sure you want to quit the uninstallation?",
    30: "<%SETUPTITLE%> has been removed from your computer.<BR><BR>Click Finish to close.",
})

UNINSTALL_CS = dict(INSTALL_CS)
UNINSTALL_CS.update({
    1: "Odinstalace programu <%SETUPTITLE%>",
    2: "Tento průvodce odebere program <%SETUPTITLE%> z vašeho počítače.<BR><BR>Než budete "
       "pokračovat, zavřete prosím program <%SETUPSHORTTITLE%>.<BR><BR>Pokračujte tlačítkem "
       "Další.",
    5: "Složka s programem",
    6: "Program <%SETUPTITLE%> bude odebrán ze složky, do které byl nainstalován.",
    7: "",
    8: "Připraveno k odinstalaci",
    9: "Vše je připraveno k odebrání programu <%SETUPTITLE%>.<BR><BR>Odinstalaci spustíte "
       "tlačítkem Odinstalovat, tlačítkem Storno program ponecháte.",
    10: "Odinstalace programu <%SETUPSHORTTITLE%>",
    11: "Program <%SETUPTITLE%> je odebrán",
    15: "Odinstalovat",
    19: "Odebírám <%QXPNAME%><%FNUM%> z <%FTOTAL%>",
    21: "Počkejte prosím, než se program <%SETUPTITLE%> odebere.",
    23: "Odinstalace se nezdařila.",
    27: "Opravdu chcete odinstalaci ukončit?",
    30: "Program <%SETUPTITLE%> byl z počítače odebrán.<BR><BR>Průvodce zavřete tlačítkem "
        "Dokončit.",
})

TABLES = {
    "install/english.wri": ("English", ENGLISH_IDS, INSTALL_EN),
    "install/czech.wri": ("Česky", CZECH_IDS, INSTALL_CS),
    "uninstall/english.wri": ("English", ENGLISH_IDS, UNINSTALL_EN),
    "uninstall/czech.wri": ("Česky", CZECH_IDS, UNINSTALL_CS),
}


def table_bytes(name, ids, texts):
    assert sorted(texts) == list(range(1, 35)), "every text number 1 to 34 must be present"
    lines = [name, ids]
    for number in sorted(texts):
        text = texts[number]
        assert "\r" not in text and "\n" not in text, number
        # An empty text is written as the number and one blank.
        lines.append(f"{number} {text}")
    return b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le") + "\r\n".encode("utf-16-le")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for relative, (name, ids, texts) in TABLES.items():
        path = os.path.join(here, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(table_bytes(name, ids, texts))


if __name__ == "__main__":
    main()
