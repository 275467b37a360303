"""Writes the stock page sets' page lists and layout files (CR LF, Windows-1252).

Run from anywhere: python3 make-layouts.py  (rewrites layout/install and layout/uninstall here).
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
F = "FontFace=MS Shell Dlg 2"
def title(name, lang, top=24):
    return f"""[{name}]
Type=TLabel
AutoSize=false
WordWrap=true
Left=220
Top={top}
Width=340
Height=44
{F}
FontBold=true
Fontsize=12
Caption=<LANG{lang}>
fontcolour=$5A3312
transparent=true
"""
def text(name, lang, top=80, height=120, extra=""):
    return f"""[{name}]
Type=TLabel
AutoSize=false
WordWrap=true
Left=220
Top={top}
Width=340
Height={height}
{F}
Fontsize=9
Caption={lang}
fontcolour=$202020
transparent=true
{extra}"""
def write(folder, name, body):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(body.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252"))

main = """[SideImage]
Type=TImage
Left=0
Top=0
Width=176
Height=376
file=side.jpg
stretch=false
"""
statuses = """[Patching_StatusLabel]
Type=TLabel
AutoSize=false
Left=220
Top=150
Width=340
Height=16
FontFace=MS Shell Dlg 2
Fontsize=9
fontcolour=$202020
AutoSize=false
transparent=true
Caption=
[Patching_ProgressBar]
Type=TProgressBar
Left=220
Top=172
Width=340
Height=22
forecolour=$C08A2E
backcolour=$F7F2EE
FontFace=MS Shell Dlg 2
Fontsize=8
fontcolour=$000000
transparent=true
[FinishText]
Type=TLabel
AutoSize=false
WordWrap=true
Left=220
Top=204
Width=340
Height=40
FontFace=MS Shell Dlg 2
Fontsize=9
fontcolour=$202020
transparent=true
Caption=
"""
inst = os.path.join(HERE, "layout", "install")
write(inst, "Pages.txt", """[Pages]
layout.txt
license.txt
changelog.txt
language.txt
install.txt
layout3.txt
layout4.txt
layout5.txt
mainlayout.txt
[PageTypes]
Welcome
License
Changelog
LanguageSelection
InstallDir
Patch
Patching
Finish
MainLayout
[Settings]
colour $FFFFFF
fontcolour $000000
""")
write(inst, "layout.txt", title("WelcomeLabel", 1) + text("WelcomeText", "<LANG2>", 84, 200))
def rich_edit(name, top, height, file):
    return f"""[{name}]
Type=TRichEdit
Left=220
Top={top}
Width=340
Height={height}
{F}
Fontsize=9
fontcolour=$202020
colour=$FFFFFF
border=true
file={file}
"""
write(inst, "changelog.txt", title("ChangelogLabel", 3) + text("ChangelogText", "<LANG4>", 74, 36) + rich_edit("ChangelogRichEdit", 116, 240, "<%CHANGELOG%>"))
# The licence page: setupc keeps it only for a script with a `license` line and packs the
# licence text as License.rtf. Neither choice is checked: Next waits for "I accept".
radio = """[{0}]
Type=TRadio
Left=228
Top={1}
Width=330
Height=18
FontFace=MS Shell Dlg 2
Fontsize=9
Caption=<LANG{2}>
"""
write(inst, "license.txt", title("LicenseLabel", 31) + text("LicenseIntro", "<LANG32>", 62, 30) + rich_edit("LicenseText", 96, 222, "License.rtf") + radio.format("AcceptLicense", 326, 33) + radio.format("DeclineLicense", 348, 34))
write(inst, "language.txt", text("LanguageLabel", "<LANG22>", 28, 40).replace("Fontsize=9", "Fontsize=11\nFontBold=true").replace("$202020", "$5A3312") + """[Language_English]
Type=TRadio
Left=236
Top=84
Width=300
Height=20
FontFace=MS Shell Dlg 2
Fontsize=9
Caption=English
checked=true
[Language_Czech]
Type=TRadio
Left=236
Top=110
Width=300
Height=20
FontFace=MS Shell Dlg 2
Fontsize=9
Caption=Czech
""")
write(inst, "install.txt", title("InstallDirLabel", 5) + text("InstallDirText", "<LANG6>", 72, 76) + """[InstallDir_Edit]
Type=TEdit
Left=220
Top=152
Width=340
Height=22
FontFace=MS Shell Dlg 2
Fontsize=9
colour=$FFFFFF
border=true
[InstallDir_ShellTreeView]
Type=TShellTreeView
Left=220
Top=180
Width=340
Height=180
colour=$FFFFFF
border=true
fontcolour=$202020
selcolour=$E8C9A6
fontselcolour=$000000
""")
write(inst, "layout3.txt", title("ReadyLabel", 8) + text("ReadyText", "<LANG9>", 84, 110) + """[SpaceAvalible]
Type=TLabel
AutoSize=false
Left=220
Top=210
Width=340
Height=18
FontFace=MS Shell Dlg 2
Fontsize=9
FontBold=true
fontcolour=$5A3312
AutoSize=false
transparent=true
Caption=<LANG7>
""")
write(inst, "layout4.txt", title("PatchingLabel", 10) + text("PatchingText", "<LANG21>", 84, 50) + statuses)
write(inst, "layout5.txt", title("FinishLabel", 11) + text("FinishPageText", "<LANG30>", 84, 200))
write(inst, "mainlayout.txt", main)

un = os.path.join(HERE, "layout", "uninstall")
write(un, "Pages.txt", """[Pages]
layout.txt
layout3.txt
layout4.txt
layout5.txt
mainlayout.txt
[PageTypes]
Welcome
Patch
Uninstall
Finish
MainLayout
[Settings]
colour $FFFFFF
fontcolour $000000
""")
write(un, "layout.txt", title("WelcomeLabel", 1) + text("WelcomeText", "<LANG2>", 84, 200))
write(un, "layout3.txt", title("ReadyLabel", 8) + text("ReadyText", "<LANG9>", 84, 110) + text("InstalledFolderText", "<LANG6>", 200, 60))
write(un, "layout4.txt", title("PatchingLabel", 10) + text("PatchingText", "<LANG21>", 84, 50) + statuses)
write(un, "layout5.txt", title("FinishLabel", 11) + text("FinishPageText", "<LANG30>", 84, 200))
write(un, "mainlayout.txt", main)
