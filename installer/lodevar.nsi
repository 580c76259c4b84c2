; Lodevar's Windows installer, made on the build machine by installer/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DARCH=x64|x86 -DTARGET=amd64-unicode|x86-unicode -DVERSION=1.0.0
;            -DLODEVAR_EXE=... -DPBCLIENT_EXE=... -DPORTCHECK_EXE=... -DCLIENT_DLL_X86=... -DCLIENT_DLL_X64=...
;            -DCLIENT_DIR=... -DVERSION_H=... -DTEXTS_H=... -DGUIDE=... -DICON=... -DOUTFILE=... lodevar.nsi
;
; It installs lodevar.exe, pbclient.exe and portcheck.exe, and in "client" the client kit for teller
; applications (lodevar_client.dll for x86 and x64, its header, .def and source, the C# wrapper with its
; sample, the developer guide), into a folder the operator can write
; (C:\Lodevar unless chosen otherwise: the driver keeps its settings in "User\CommData.ini" beside
; itself), writes that file from the settings page, can start the driver when the user logs on
; (the user's Run key), and registers an uninstaller. Everything is per user: nothing needs
; administrator rights, and the registry keys are under HKCU.
;
; Silent use (also pre-fills the pages when not silent):
;   lodevar-setup-x64.exe /S [/PORT=1|2] [/SPEED=N] [/MODEL=alder|birch|cedar|auto] [/STARTUP=0|1] [/D=FOLDER]
;   uninstall.exe /S [/KEEPSETTINGS=0|1]
; A setting left out keeps the value of an existing settings file (or the default: COM1, 9600,
; auto, no start at logon). An option that is not understood ends the run with exit code 2 and
; nothing changed.

Target ${TARGET}
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "Lodevar"
!define MAIN_WINDOW "QRVA Bank Driver"
!define WM_CLOSEQUIET 2023
!define OWN_KEY "Software\Lodevar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lodevar"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_SECTION "Lodevar"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "C:\Lodevar"
InstallDirRegKey HKCU "${OWN_KEY}" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

; ---- pages ---------------------------------------------------------------------------------------

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryText)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom SettingsPage SettingsLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\lodevar.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNow)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "$(UninstallComponentsText)"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used where Windows speaks neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"

; ---- texts ---------------------------------------------------------------------------------------

LangString DirectoryText ${LANG_ENGLISH} "Lodevar keeps its settings in the folder User beside the program and writes them there after every successful printer open. Choose a folder the operator can write, such as C:\Lodevar; Program Files is not one."
LangString DirectoryText ${LANG_KOREAN} "Lodevar는 설정을 프로그램 옆의 User 폴더에 두고, 인쇄기 연결에 성공할 때마다 그곳에 저장합니다. 사용자가 쓸 수 있는 폴더(예: C:\Lodevar)를 고르십시오. Program Files는 쓸 수 없는 폴더입니다."
LangString ProgramFilesWarning ${LANG_ENGLISH} "An operator cannot write in Program Files, so Lodevar could not store its settings there. Install into this folder anyway?"
LangString ProgramFilesWarning ${LANG_KOREAN} "Program Files에는 사용자가 쓸 수 없으므로 Lodevar가 설정을 저장할 수 없습니다. 그래도 이 폴더에 설치하시겠습니까?"
LangString SettingsTitle ${LANG_ENGLISH} "Printer settings"
LangString SettingsTitle ${LANG_KOREAN} "통장인쇄기 설정"
LangString SettingsSubtitle ${LANG_ENGLISH} "Stored in User\CommData.ini; the tray menu can change them later."
LangString SettingsSubtitle ${LANG_KOREAN} "User\CommData.ini에 저장되며, 나중에 트레이 메뉴에서 바꿀 수 있습니다."
LangString PortLabel ${LANG_ENGLISH} "Port:"
LangString PortLabel ${LANG_KOREAN} "포트:"
LangString SpeedLabel ${LANG_ENGLISH} "Line speed (bits/s):"
LangString SpeedLabel ${LANG_KOREAN} "통신 속도(bps):"
LangString ModelLabel ${LANG_ENGLISH} "Printer model:"
LangString ModelLabel ${LANG_KOREAN} "인쇄기 모델:"
LangString ModelAuto ${LANG_ENGLISH} "Not known: find it at the first open"
LangString ModelAuto ${LANG_KOREAN} "모름: 처음 연결할 때 찾기"
LangString PortNote ${LANG_ENGLISH} "If the printer does not answer on this port, Lodevar tries the other one and keeps the port that answered."
LangString PortNote ${LANG_KOREAN} "이 포트에서 인쇄기가 응답하지 않으면 다른 포트를 시도하고, 응답한 포트를 저장합니다."
LangString StartupText ${LANG_ENGLISH} "Start Lodevar when this user logs on (leave it off when the teller application starts Lodevar itself)"
LangString StartupText ${LANG_KOREAN} "이 사용자가 로그온할 때 Lodevar 시작 (업무 프로그램이 Lodevar를 직접 시작하면 선택하지 마십시오)"
LangString BadSpeed ${LANG_ENGLISH} "The line speed must be a whole number above 0."
LangString BadSpeed ${LANG_KOREAN} "통신 속도는 0보다 큰 정수여야 합니다."
LangString BadOption ${LANG_ENGLISH} "Option not understood:"
LangString BadOption ${LANG_KOREAN} "알 수 없는 옵션:"
LangString NotX64 ${LANG_ENGLISH} "This installer is for 64-bit Windows; use lodevar-setup-x86.exe."
LangString NotX64 ${LANG_KOREAN} "이 설치 프로그램은 64비트 Windows용입니다. lodevar-setup-x86.exe를 사용하십시오."
LangString DriverRunning ${LANG_ENGLISH} "Lodevar is running. Close it and go on? Teller applications connected to it lose their connection."
LangString DriverRunning ${LANG_KOREAN} "Lodevar가 실행 중입니다. 종료하고 계속하시겠습니까? 연결된 업무 프로그램은 연결이 끊어집니다."
LangString DriverStays ${LANG_ENGLISH} "Lodevar did not close, so its files cannot be changed."
LangString DriverStays ${LANG_KOREAN} "Lodevar가 종료되지 않아 파일을 바꿀 수 없습니다."
LangString SettingsNotWritten ${LANG_ENGLISH} "The settings file cannot be written:"
LangString SettingsNotWritten ${LANG_KOREAN} "설정 파일을 쓸 수 없습니다:"
LangString RunNow ${LANG_ENGLISH} "Start Lodevar now"
LangString RunNow ${LANG_KOREAN} "지금 Lodevar 시작"
LangString UninstallLink ${LANG_ENGLISH} "Uninstall Lodevar"
LangString UninstallLink ${LANG_KOREAN} "Lodevar 제거"
LangString UninstallComponentsText ${LANG_ENGLISH} "The settings file stays unless you tick it, so that a new installation finds the port, speed and model that worked."
LangString UninstallComponentsText ${LANG_KOREAN} "설정 파일은 선택하지 않으면 남겨 두므로, 다시 설치할 때 사용하던 포트, 속도, 모델을 그대로 씁니다."
LangString SecProgram ${LANG_ENGLISH} "Lodevar program files"
LangString SecProgram ${LANG_KOREAN} "Lodevar 프로그램 파일"
LangString SecSettings ${LANG_ENGLISH} "Settings file (User\CommData.ini)"
LangString SecSettings ${LANG_KOREAN} "설정 파일 (User\CommData.ini)"

; ---- the settings ----------------------------------------------------------------------------------

; The values written to User\CommData.ini; the settings page shows them and takes them back.
Var Port
Var Speed
Var Trace
Var Model
Var Startup
; The folder whose settings file the values were read from.
Var LoadedFrom
; The command-line options, empty when not given.
Var OptPort
Var OptSpeed
Var OptModel
Var OptStartup

; ReadIniInt VAR KEY DEFAULT: an integer from the settings file of $INSTDIR, read as the driver reads
; it (leading digits, 0 when there are none), or DEFAULT when the key is not there.
!macro ReadIniInt var key default
    ClearErrors
    ReadINIStr ${var} "$INSTDIR\User\CommData.ini" "${SETTINGS_SECTION}" "${key}"
    ${If} ${Errors}
        StrCpy ${var} "${default}"
    ${Else}
        IntOp ${var} ${var} + 0
    ${EndIf}
!macroend

; The values for $INSTDIR: its settings file (or the defaults), then the command-line options.
Function LoadSettings
    ${If} $LoadedFrom == $INSTDIR
        Return
    ${EndIf}
    StrCpy $LoadedFrom $INSTDIR
    !insertmacro ReadIniInt $Port PORT 1
    !insertmacro ReadIniInt $Speed SPEED 9600
    !insertmacro ReadIniInt $Trace TRACE 0
    !insertmacro ReadIniInt $Model MODEL 242
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} ${Errors}
        StrCpy $Startup 0
    ${Else}
        StrCpy $Startup 1
    ${EndIf}
    ${If} $OptPort != ""
        StrCpy $Port $OptPort
    ${EndIf}
    ${If} $OptSpeed != ""
        StrCpy $Speed $OptSpeed
    ${EndIf}
    ${If} $OptModel != ""
        StrCpy $Model $OptModel
    ${EndIf}
    ${If} $OptStartup != ""
        StrCpy $Startup $OptStartup
    ${EndIf}
FunctionEnd

; PositiveNumber TEXT VAR: VAR = TEXT when it is a decimal number above 0 (no sign, no leading zero),
; else empty.
!macro PositiveNumber text var
    IntOp ${var} ${text} + 0
    ${If} "${var}" != "${text}"
    ${OrIf} ${var} <= 0
        StrCpy ${var} ""
    ${EndIf}
!macroend

!macro BadOption text
    MessageBox MB_OK|MB_ICONSTOP "$(BadOption) ${text}" /SD IDOK
    SetErrorLevel 2
    Quit
!macroend

Function .onInit
    !if "${ARCH}" == "x64"
        ${IfNot} ${RunningX64}
            MessageBox MB_OK|MB_ICONSTOP "$(NotX64)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    !endif
    ${GetParameters} $R0

    ClearErrors
    ${GetOptions} $R0 "/PORT=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "1"
        ${OrIf} $R1 == "COM1"
            StrCpy $OptPort 1
        ${ElseIf} $R1 == "2"
        ${OrIf} $R1 == "COM2"
            StrCpy $OptPort 2
        ${Else}
            !insertmacro BadOption "/PORT=$R1"
        ${EndIf}
    ${EndIf}

    ClearErrors
    ${GetOptions} $R0 "/SPEED=" $R1
    ${IfNot} ${Errors}
        !insertmacro PositiveNumber $R1 $OptSpeed
        ${If} $OptSpeed == ""
            !insertmacro BadOption "/SPEED=$R1"
        ${EndIf}
    ${EndIf}

    ClearErrors
    ${GetOptions} $R0 "/MODEL=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "alder"
        ${OrIf} $R1 == "0"
            StrCpy $OptModel 0
        ${ElseIf} $R1 == "birch"
        ${OrIf} $R1 == "1"
            StrCpy $OptModel 1
        ${ElseIf} $R1 == "cedar"
        ${OrIf} $R1 == "2"
            StrCpy $OptModel 2
        ${ElseIf} $R1 == "auto"
        ${OrIf} $R1 == "242"
            StrCpy $OptModel 242
        ${Else}
            !insertmacro BadOption "/MODEL=$R1"
        ${EndIf}
    ${EndIf}

    ClearErrors
    ${GetOptions} $R0 "/STARTUP=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "0"
        ${OrIf} $R1 == "1"
            StrCpy $OptStartup $R1
        ${Else}
            !insertmacro BadOption "/STARTUP=$R1"
        ${EndIf}
    ${EndIf}
FunctionEnd

; StartsWith TEXT PREFIX VAR: VAR = 1 when TEXT starts with PREFIX (any case), else 0.
!macro StartsWith text prefix var
    StrLen ${var} "${prefix}"
    StrCpy ${var} "${text}" ${var}
    ${If} "${prefix}" != ""
    ${AndIf} ${var} == "${prefix}"
        StrCpy ${var} 1
    ${Else}
        StrCpy ${var} 0
    ${EndIf}
!macroend

Function DirectoryLeave
    !insertmacro StartsWith $INSTDIR $PROGRAMFILES32 $0
    !insertmacro StartsWith $INSTDIR $PROGRAMFILES64 $1
    ${If} $0 == 1
    ${OrIf} $1 == 1
        MessageBox MB_YESNO|MB_ICONEXCLAMATION "$(ProgramFilesWarning)" IDYES +2
        Abort
    ${EndIf}
FunctionEnd

; ---- the settings page -----------------------------------------------------------------------------

Var PortCom1
Var PortCom2
Var SpeedBox
Var ModelAlder
Var ModelBirch
Var ModelAuto
Var StartupBox

Function SettingsPage
    Call LoadSettings
    !insertmacro MUI_HEADER_TEXT "$(SettingsTitle)" "$(SettingsSubtitle)"
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}

    ${NSD_CreateLabel} 0 2u 90u 10u "$(PortLabel)"
    Pop $0
    ${NSD_CreateRadioButton} 95u 0 50u 12u "COM1"
    Pop $PortCom1
    ${NSD_AddStyle} $PortCom1 ${WS_GROUP}
    ${NSD_CreateRadioButton} 150u 0 50u 12u "COM2"
    Pop $PortCom2
    ${NSD_CreateLabel} 95u 14u 205u 18u "$(PortNote)"
    Pop $0

    ${NSD_CreateLabel} 0 38u 90u 10u "$(SpeedLabel)"
    Pop $0
    ${NSD_CreateComboBox} 95u 36u 60u 80u ""
    Pop $SpeedBox
    ${NSD_AddStyle} $SpeedBox ${WS_GROUP}
    ${NSD_CB_AddString} $SpeedBox "2400"
    ${NSD_CB_AddString} $SpeedBox "4800"
    ${NSD_CB_AddString} $SpeedBox "9600"
    ${NSD_CB_AddString} $SpeedBox "19200"
    ${NSD_CB_AddString} $SpeedBox "38400"
    ${NSD_CB_AddString} $SpeedBox "57600"
    ${NSD_SetText} $SpeedBox $Speed

    ${NSD_CreateLabel} 0 58u 90u 10u "$(ModelLabel)"
    Pop $0
    ${NSD_CreateRadioButton} 95u 56u 50u 12u "Alder"
    Pop $ModelAlder
    ${NSD_AddStyle} $ModelAlder ${WS_GROUP}
    ${NSD_CreateRadioButton} 150u 56u 50u 12u "Birch"
    Pop $ModelBirch
    ${NSD_CreateRadioButton} 95u 70u 205u 12u "$(ModelAuto)"
    Pop $ModelAuto

    ${NSD_CreateCheckBox} 0 94u 300u 20u "$(StartupText)"
    Pop $StartupBox
    ${NSD_AddStyle} $StartupBox ${WS_GROUP}

    ; A value the page has no button for (a port other than 1 and 2, the library model 2) checks
    ; none and is kept unless a button is chosen.
    ${If} $Port == 1
        ${NSD_Check} $PortCom1
    ${ElseIf} $Port == 2
        ${NSD_Check} $PortCom2
    ${EndIf}
    ${If} $Model == 0
        ${NSD_Check} $ModelAlder
    ${ElseIf} $Model == 1
        ${NSD_Check} $ModelBirch
    ${ElseIf} $Model == 242
        ${NSD_Check} $ModelAuto
    ${EndIf}
    ${If} $Startup == 1
        ${NSD_Check} $StartupBox
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function SettingsLeave
    ${NSD_GetText} $SpeedBox $0
    !insertmacro PositiveNumber $0 $1
    ${If} $1 == ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(BadSpeed)"
        Abort
    ${EndIf}
    StrCpy $Speed $1
    ${NSD_GetState} $PortCom1 $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Port 1
    ${EndIf}
    ${NSD_GetState} $PortCom2 $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Port 2
    ${EndIf}
    ${NSD_GetState} $ModelAlder $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Model 0
    ${EndIf}
    ${NSD_GetState} $ModelBirch $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Model 1
    ${EndIf}
    ${NSD_GetState} $ModelAuto $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Model 242
    ${EndIf}
    ${NSD_GetState} $StartupBox $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Startup 1
    ${Else}
        StrCpy $Startup 0
    ${EndIf}
FunctionEnd

; ---- closing a running driver ----------------------------------------------------------------------

; CloseDriver: ends every running Lodevar with WM_CLOSEQUIET after asking (yes when silent), and waits
; for each process to end, so that its files can be replaced or removed. Aborts when one stays.
!macro CloseDriverFunction prefix
Function ${prefix}CloseDriver
    StrCpy $R9 0
    ${Do}
        FindWindow $R8 "${MAIN_WINDOW}" "${MAIN_WINDOW}"
        ${If} $R8 == 0
            Return
        ${EndIf}
        ${If} $R9 == 0
            MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "$(DriverRunning)" /SD IDOK IDOK +2
            Abort
        ${ElseIf} $R9 >= 10
            MessageBox MB_OK|MB_ICONSTOP "$(DriverStays)" /SD IDOK
            Abort
        ${EndIf}
        IntOp $R9 $R9 + 1
        DetailPrint "WM_CLOSEQUIET -> ${MAIN_WINDOW} ($R8)"
        StrCpy $R7 0
        System::Call "user32::GetWindowThreadProcessId(p R8, *i .R7) i"
        SendMessage $R8 ${WM_CLOSEQUIET} 0 0 $R6 /TIMEOUT=5000
        ; SYNCHRONIZE: wait up to 10 s for the process, whose file stays in use until it has ended.
        System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i R7) p .R5"
        ${If} $R5 P<> 0
            System::Call "kernel32::WaitForSingleObject(p R5, i 10000) i"
            System::Call "kernel32::CloseHandle(p R5)"
        ${Else}
            Sleep 500
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CloseDriverFunction ""
!insertmacro CloseDriverFunction "un."

; ---- installing ------------------------------------------------------------------------------------

Section "-Lodevar"
    Call LoadSettings  ; a silent run, or a folder the settings page has not seen
    Call CloseDriver

    SetOutPath "$INSTDIR"
    File "/oname=lodevar.exe" "${LODEVAR_EXE}"
    File "/oname=pbclient.exe" "${PBCLIENT_EXE}"
    File "/oname=portcheck.exe" "${PORTCHECK_EXE}"
    ; The client kit: a teller application takes the DLL of its own bitness.
    SetOutPath "$INSTDIR\client\x86"
    File "/oname=lodevar_client.dll" "${CLIENT_DLL_X86}"
    SetOutPath "$INSTDIR\client\x64"
    File "/oname=lodevar_client.dll" "${CLIENT_DLL_X64}"
    SetOutPath "$INSTDIR\client\dotnet"
    File "${CLIENT_DIR}\dotnet\Lodevar.cs"
    File "${CLIENT_DIR}\dotnet\Sample.cs"
    SetOutPath "$INSTDIR\client"
    File "${CLIENT_DIR}\lodevar_client.h"
    File "${CLIENT_DIR}\lodevar_client.c"
    File "${CLIENT_DIR}\lodevar_client.def"
    File "${VERSION_H}"
    File "${TEXTS_H}"
    File "${GUIDE}"
    SetOutPath "$INSTDIR"

    ; The keys in the order the driver writes them back.
    CreateDirectory "$INSTDIR\User"
    ClearErrors
    WriteINIStr "$INSTDIR\User\CommData.ini" "${SETTINGS_SECTION}" "PORT" $Port
    WriteINIStr "$INSTDIR\User\CommData.ini" "${SETTINGS_SECTION}" "SPEED" $Speed
    WriteINIStr "$INSTDIR\User\CommData.ini" "${SETTINGS_SECTION}" "TRACE" $Trace
    WriteINIStr "$INSTDIR\User\CommData.ini" "${SETTINGS_SECTION}" "MODEL" $Model
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "$(SettingsNotWritten) $INSTDIR\User\CommData.ini" /SD IDOK
        Abort
    ${EndIf}
    ; Wine answers the flush of the profile cache with a failure, which says nothing about the file.
    FlushINI "$INSTDIR\User\CommData.ini"
    DetailPrint "PORT=$Port SPEED=$Speed TRACE=$Trace MODEL=$Model"

    ${If} $Startup == 1
        WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\lodevar.exe"'
    ${Else}
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\lodevar.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(UninstallLink).lnk" "$INSTDIR\uninstall.exe"

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "${OWN_KEY}" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lodevar.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; ---- uninstalling ----------------------------------------------------------------------------------

Section "un.$(SecProgram)" SecProgram
    SectionIn RO
    Call un.CloseDriver
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "${OWN_KEY}"
    RMDir /r "$SMPROGRAMS\${PRODUCT}"
    ; Only what the installer put here: a printer library or a monitor program the bank added stays.
    Delete "$INSTDIR\lodevar.exe"
    Delete "$INSTDIR\pbclient.exe"
    Delete "$INSTDIR\portcheck.exe"
    Delete "$INSTDIR\client\x86\lodevar_client.dll"
    Delete "$INSTDIR\client\x64\lodevar_client.dll"
    Delete "$INSTDIR\client\dotnet\Lodevar.cs"
    Delete "$INSTDIR\client\dotnet\Sample.cs"
    Delete "$INSTDIR\client\lodevar_client.h"
    Delete "$INSTDIR\client\lodevar_client.c"
    Delete "$INSTDIR\client\lodevar_client.def"
    Delete "$INSTDIR\client\lodevar_version.h"
    Delete "$INSTDIR\client\lodevar_texts.h"
    Delete "$INSTDIR\client\developer-guide.md"
    RMDir "$INSTDIR\client\x86"
    RMDir "$INSTDIR\client\x64"
    RMDir "$INSTDIR\client\dotnet"
    RMDir "$INSTDIR\client"
SectionEnd

Section /o "un.$(SecSettings)" SecSettings
    Delete "$INSTDIR\User\CommData.ini"
SectionEnd

Section "-un.Folders"
    ; The uninstaller goes last, so that a deployment tool can take its absence for the end of the
    ; work. The folders are removed only when empty.
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR\User"
    RMDir "$INSTDIR"
SectionEnd

; After the sections, whose numbers it uses.
Function un.onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/KEEPSETTINGS=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "0"
            SectionSetFlags ${SecSettings} ${SF_SELECTED}
        ${ElseIf} $R1 != "1"
            !insertmacro BadOption "/KEEPSETTINGS=$R1"
        ${EndIf}
    ${EndIf}
FunctionEnd
