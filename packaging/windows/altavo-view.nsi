; Windows installer for Altavo View: the three programs, the Qt and MinGW
; runtime DLLs and plugins they load, the help text, the board-test limits
; and test images. Installs for the current user or for all users (the
; choice page, or /CurrentUser and /AllUsers with /S), with Start-menu
; shortcuts and an uninstaller that removes exactly what was installed.
; Built by scripts/windows/package, which defines VERSION, DEPLOY, OUTFILE
; and writes the two file lists included below.
Unicode true
; The programs are 64-bit, and so is the installer (it then needs no 32-bit
; subsystem, which a 64-bit Wine may lack).
Target amd64-unicode
!define APP "Altavo View"
!define COMPANY "Veltrion Norvane"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\AltavoView"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "Software\${COMPANY}\${APP}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "Software\${COMPANY}\${APP}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
!define MULTIUSER_USE_PROGRAMFILES64
!include MultiUser.nsh
!include MUI2.nsh
!include x64.nsh

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${COMPANY}"
SetCompressor /SOLID lzma

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSEFILE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${APP} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !include "${FILELIST}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "Software\${COMPANY}\${APP}" "InstallDir" "$INSTDIR"
  WriteRegStr SHCTX "Software\${COMPANY}\${APP}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTKEY}" "Publisher" "${COMPANY}"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\altavo-view.exe"
  WriteRegStr SHCTX "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoRepair" 1
  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortCut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\altavo-view.exe"
  CreateShortCut "$SMPROGRAMS\${APP}\${APP} (simulated instrument).lnk" "$INSTDIR\altavo-view.exe" "--simulate"
  CreateShortCut "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk" "$INSTDIR\uninstall.exe" "/$MultiUser.InstallMode"
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: files a user saved beside the
  ; programs stay, and so does the folder then.
  !include "${UNFILELIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\${APP} (simulated instrument).lnk"
  Delete "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  DeleteRegKey SHCTX "${UNINSTKEY}"
  DeleteRegValue SHCTX "Software\${COMPANY}\${APP}" "InstallDir"
  DeleteRegValue SHCTX "Software\${COMPANY}\${APP}" "InstallMode"
SectionEnd
