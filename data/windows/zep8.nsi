; The installer of the configurator for Windows: the program into Program Files,
; a Start-menu shortcut, .zep files opened by the program (for the user who
; installs), and an uninstaller that Windows lists under its programs.
;   makensis -DVERSION=0.1.0 -DFILES=<folder with zep8.exe and the texts> -DOUTFILE=<setup.exe> zep8.nsi
; Silent: setup.exe /S [/D=C:\folder]; the uninstaller: uninstall.exe /S.
; A 64-bit installer, as the program is: it runs where the program runs.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | FILES | OUTFILE
  !error "makensis needs -DVERSION=, -DFILES= and -DOUTFILE="
!endif

!include "MUI2.nsh"

!define PRODUCT "Конфигуратор ЗЕП-8"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEP8"
!define FILE_CLASS "ZEP8.Configuration"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ZEP8"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "ZEP8 ${VERSION}"

!define MUI_ICON "${FILES}\zep8.ico"
!define MUI_UNICON "${FILES}\zep8.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README-ru.txt"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "ZEP8"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка: ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "ARVO"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "GPL-3.0-or-later"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "ZEP8"
  SetOutPath "$INSTDIR"
  File "${FILES}\zep8.exe"
  File "${FILES}\README-ru.txt"
  File "${FILES}\LICENSE.txt"
  File "${FILES}\THIRD-PARTY-NOTICES.txt"
  ; The manual that "Справка" (F1) opens.
  File /r "${FILES}\manual"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut and the file type belong to the user who installs.
  SetShellVarContext current
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zep8.exe" "" "$INSTDIR\zep8.exe" 0

  WriteRegStr HKCU "Software\Classes\.zep" "" "${FILE_CLASS}"
  WriteRegStr HKCU "Software\Classes\${FILE_CLASS}" "" "Конфигурация ЗЕП-8"
  WriteRegStr HKCU "Software\Classes\${FILE_CLASS}\DefaultIcon" "" "$INSTDIR\zep8.exe,0"
  WriteRegStr HKCU "Software\Classes\${FILE_CLASS}\shell\open\command" "" '"$INSTDIR\zep8.exe" "%1"'
  ; Explorer shows the new icon and the open command without a new logon.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ARVO"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zep8.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The program's settings (HKLM\Software\ARVO\ZEP8) stay: a new version takes them.
Section "Uninstall"
  Delete "$INSTDIR\zep8.exe"
  Delete "$INSTDIR\README-ru.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /r "$INSTDIR\manual"
  RMDir "$INSTDIR"

  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; .zep is left alone when another program has taken it since.
  ReadRegStr $0 HKCU "Software\Classes\.zep" ""
  StrCmp $0 "${FILE_CLASS}" 0 +2
    DeleteRegKey HKCU "Software\Classes\.zep"
  DeleteRegKey HKCU "Software\Classes\${FILE_CLASS}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
