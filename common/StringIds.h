#pragma once

// Names for the identifiers of the string table (res/strings.tsv), to pass to
// LoadString. The numbered texts keep the numbers under which the rest of the
// system knows them; callers may use either the number or the name. Dialog
// texts have no number of their own: dialog D uses D*100 .. D*100+99, the
// dialog's title first. Windows that exist only on Linux use 20000 - 29999,
// a hundred per window. docs/strings.md lists the ranges.

namespace nerolin::strings {

// --- Numbered texts --------------------------------------------------------

inline constexpr int kAboutMenuItem = 101;  // "&About Nerolin..."
inline constexpr int kRegisterFailed = 102;
inline constexpr int kUnregisterFailed = 103;
inline constexpr int kUnknownFlag = 104;
inline constexpr int kCancelRequestFailed = 105;
inline constexpr int kCertificateNotFound = 106;
inline constexpr int kSelectCertificateFailed = 107;
inline constexpr int kSignHashesFailed = 108;
inline constexpr int kStartThreadFailed = 109;
inline constexpr int kInvalidUri = 110;
inline constexpr int kBadRequest = 111;
inline constexpr int kResultOk = 112;        // service code "OK"
inline constexpr int kResultCanceled = 113;  // service code "CANCEL"
inline constexpr int kResultError = 114;     // service code "ERROR"
inline constexpr int kResultUnknown = 115;   // any other code
inline constexpr int kResultMessage = 116;   // "Message: %s"
inline constexpr int kDocumentNameColumn = 117;
inline constexpr int kDownloadUrlColumn = 118;
inline constexpr int kCloseButton = 119;
inline constexpr int kSelectCertificateButton = 120;
inline constexpr int kUnsupportedProtocolVersion = 121;
inline constexpr int kBadUrl = 122;
inline constexpr int kInvalidServiceType = 123;
inline constexpr int kInvalidServer = 124;
inline constexpr int kConnectionError = 125;
inline constexpr int kInvalidStatusCode = 126;
inline constexpr int kBadResponse = 127;
inline constexpr int kSaveEventLogMenuItem = 128;
inline constexpr int kRegistrationIncorrect = 129;
inline constexpr int kQrCodeFailed = 131;
inline constexpr int kStateWaitingForConfigGot = 132;
inline constexpr int kStateWaitingForCertificate = 133;
inline constexpr int kStateWaitingForUnsignedHashes = 134;
inline constexpr int kStateWaitingForSignedHashes = 135;
inline constexpr int kStateFinished = 136;
inline constexpr int kStateError = 137;
inline constexpr int kSelectCertificateWithMobileButton = 138;
inline constexpr int kUpdateMenuItem = 139;
inline constexpr int kProxySettingsMenuItem = 140;
inline constexpr int kResultWarning = 145;  // service code "WARNING"
inline constexpr int kWhitelistDownloadFailed = 146;
inline constexpr int kBadPin = 147;
inline constexpr int kPinLocked = 148;

// --- About box (dialog 100) ------------------------------------------------

inline constexpr int kAboutTitle = 10000;
inline constexpr int kAboutVersionText = 10001;  // "Nerolin, Version %s": the build's version
inline constexpr int kAboutOk = 10002;
inline constexpr int kAboutLicenceTab = 10003;
inline constexpr int kAboutNoticesTab = 10004;

// --- Main window (dialog 102) ----------------------------------------------

inline constexpr int kMainTitle = 10200;           // "Nerolin"
inline constexpr int kMainSessionIdLabel = 10201;  // beside control 1010
inline constexpr int kMainServiceProviderLabel = 10202;
inline constexpr int kMainMessageLabel = 10203;
inline constexpr int kMainDocumentsLabel = 10204;
inline constexpr int kMainAutoCloseCheckBox = 10205;     // control 1009
inline constexpr int kMainSignWithMobileButton = 10206;  // control 1014
inline constexpr int kMainStartSignButton = 10207;       // control 1
inline constexpr int kMainCancelButton = 10208;          // control 2

// --- PIN dialog (dialog 129) -----------------------------------------------

inline constexpr int kPinTitle = 12900;  // "Nerolin PIN"
inline constexpr int kPinOk = 12901;
inline constexpr int kPinCancel = 12902;
inline constexpr int kPinTargetLabel = 12903;
inline constexpr int kPinLabel = 12904;
inline constexpr int kPinHolderLabel = 12905;       // beside the certificate holder's name
inline constexpr int kPinSigningKeyNotice = 12906;  // the key itself asks (CKA_ALWAYS_AUTHENTICATE)
inline constexpr int kPinFewTriesLeft = 12907;      // CKF_USER_PIN_COUNT_LOW
inline constexpr int kPinFinalTry = 12908;          // CKF_USER_PIN_FINAL_TRY
inline constexpr int kPinPadNotice = 12909;         // CKF_PROTECTED_AUTHENTICATION_PATH: no field

// --- Mobile-signing window (dialog 132) ------------------------------------

inline constexpr int kMobileTitle = 13200;
inline constexpr int kMobileIntroText = 13201;
inline constexpr int kMobileAppsText = 13202;
inline constexpr int kMobileCancel = 13203;
inline constexpr int kQrCodeAccessibleName = 13204;

// --- Proxy settings dialog (dialog 133) ------------------------------------

inline constexpr int kProxyTitle = 13300;
inline constexpr int kProxyOk = 13301;
inline constexpr int kProxyCancel = 13302;
inline constexpr int kProxyUrlLabel = 13303;  // "Proxy URL: ", blank kept
inline constexpr int kProxyUsernameLabel = 13304;
inline constexpr int kProxyPasswordLabel = 13305;

// --- Linux-only windows and prompts ----------------------------------------

inline constexpr int kApplicationName = 20000;   // "Nerolin": message box caption
inline constexpr int kDevelopmentBuild = 20001;  // appended to the About text
inline constexpr int kMenuButton = 20002;        // the main window's menu button
inline constexpr int kMessageBoxOk = 20003;

// Save-file dialog of the event-log export: fixed captions, both languages.
inline constexpr int kLogFilesFilter = 20100;  // "Log files (*.log)"
inline constexpr int kAllFilesFilter = 20101;  // "All files (*.*) ", blank kept

// Certificate selection dialog
inline constexpr int kSelectCertificateTitle = 20200;
inline constexpr int kSelectCertificatePrompt = 20201;
inline constexpr int kIssuedToColumn = 20202;
inline constexpr int kIssuedByColumn = 20203;
inline constexpr int kValidFromColumn = 20204;
inline constexpr int kValidToColumn = 20205;
inline constexpr int kDetailsButton = 20206;
inline constexpr int kSelectCertificateOk = 20207;
inline constexpr int kSelectCertificateCancel = 20208;
inline constexpr int kCertificateListAccessibleName = 20209;

// Certificate details (selection dialog's details view, trust dialog)
inline constexpr int kCertificateDetailsTitle = 20300;
inline constexpr int kSubjectLabel = 20301;
inline constexpr int kIssuerLabel = 20302;
inline constexpr int kValidFromLabel = 20303;
inline constexpr int kValidToLabel = 20304;
inline constexpr int kSerialNumberLabel = 20305;
inline constexpr int kSha256FingerprintLabel = 20306;

// Untrusted-server-certificate dialog
inline constexpr int kUntrustedServerTitle = 20400;
inline constexpr int kUntrustedServerText = 20401;
inline constexpr int kUntrustedServerReasonLabel = 20402;
inline constexpr int kUntrustedServerQuestion = 20403;
inline constexpr int kYesButton = 20404;
inline constexpr int kNoButton = 20405;  // the default

// Updater windows
inline constexpr int kUpdateTitle = 20500;
inline constexpr int kUpdateUpToDate = 20501;   // %s: the program's version
inline constexpr int kUpdateAvailable = 20502;  // %s: new version, %s: the program's version
inline constexpr int kUpdateReleaseNotes = 20503;
inline constexpr int kUpdateInstall = 20504;
inline constexpr int kUpdateRemindLater = 20505;
inline constexpr int kUpdateSkipVersion = 20506;
inline constexpr int kUpdateCheckFailed = 20507;
inline constexpr int kUpdateDownloadFailed = 20508;
inline constexpr int kUpdateBadSignature = 20509;
inline constexpr int kUpdateWrongVersion = 20510;
inline constexpr int kUpdateNoInstaller = 20511;  // %s: the package's path

// --- Main window's status line (20800) --------------------------------------

inline constexpr int kStatusOneDocumentSigned = 20800;
inline constexpr int kStatusDocumentsSigned = 20801;  // %d: how many
inline constexpr int kStatusCertificateHandedOver = 20802;
inline constexpr int kStatusFinishedOnMobile = 20803;
inline constexpr int kStatusHandedOver = 20804;
inline constexpr int kStatusCanceled = 20805;
inline constexpr int kStatusSigningFailed = 20806;    // %s: a reason below
inline constexpr int kStatusSelectingFailed = 20807;  // %s: a reason below
inline constexpr int kStatusOpeningFailed = 20808;    // %s: a reason below
inline constexpr int kStatusServiceWarning = 20809;
inline constexpr int kReasonCertificateNotFound = 20820;
inline constexpr int kReasonNoCertificateChosen = 20821;
inline constexpr int kReasonPinIncorrect = 20822;
inline constexpr int kReasonPinLocked = 20823;
inline constexpr int kReasonKeyCouldNotSign = 20824;
inline constexpr int kReasonServiceUnreachable = 20825;
inline constexpr int kReasonServiceAnswerUnreadable = 20826;
inline constexpr int kReasonServiceNotAllowed = 20827;
inline constexpr int kReasonNoWhitelist = 20828;
inline constexpr int kReasonServiceReportedError = 20829;
inline constexpr int kReasonUnsupportedProtocol = 20830;
inline constexpr int kReasonStateNotFetched = 20831;
inline constexpr int kReasonSigningNotStarted = 20832;
inline constexpr int kReasonBadSessionUrl = 20833;

// Token errors that NSS reports, in the user's language (NSS's texts are English)
inline constexpr int kTokenRefusedPin = 20900;   // SEC_ERROR_BAD_PASSWORD
inline constexpr int kTokenPinLocked = 20901;    // SEC_ERROR_LOCKED_PASSWORD
inline constexpr int kTokenNotLoggedIn = 20902;  // SEC_ERROR_TOKEN_NOT_LOGGED_IN

// Transfers that failed below HTTP (session/TransportFailure.cpp)
inline constexpr int kTransportTimedOut = 20700;
inline constexpr int kTransportHostNotFound = 20701;
inline constexpr int kTransportUnreachable = 20702;
inline constexpr int kTransportProxyFailed = 20703;
inline constexpr int kTransportTlsFailed = 20704;
inline constexpr int kTransportUntrusted = 20705;
inline constexpr int kTransportBroken = 20706;
inline constexpr int kTransportFailed = 20707;

// Untrusted-server-certificate dialog, continued
inline constexpr int kUntrustedServerHostLabel = 20406;

// Messages outside the windows: the event-log export, a start without a
// display (console lines), a secret too long for its input
inline constexpr int kEventLogUnreadable = 21000;
inline constexpr int kEventLogDamaged = 21001;
inline constexpr int kNoDisplayForMainWindow = 21002;
inline constexpr int kNoDisplayForSessionWindow = 21003;  // "%s": the session identifier
inline constexpr int kNoDisplayForProxySettings = 21004;
inline constexpr int kSecretTooLong = 21005;  // "%d": the most bytes a secret may have

// nerolin-tool doctor (tools/nerolin-tool/doctor): headings, verdicts, each check's line, detail labels
inline constexpr int kDoctorHeading = 21100;
inline constexpr int kDoctorCheckProgram = 21101;
inline constexpr int kDoctorCheckHandler = 21102;
inline constexpr int kDoctorCheckSettings = 21103;
inline constexpr int kDoctorCheckNetwork = 21104;
inline constexpr int kDoctorCheckTokens = 21105;
inline constexpr int kDoctorCheckCards = 21106;
inline constexpr int kDoctorCheckEventStore = 21107;
inline constexpr int kDoctorVerdictOk = 21108;
inline constexpr int kDoctorVerdictWarning = 21109;
inline constexpr int kDoctorVerdictError = 21110;
inline constexpr int kDoctorNothingBlocks = 21111;
inline constexpr int kDoctorSomethingBlocks = 21112;
inline constexpr int kDoctorProgramRelease = 21113;
inline constexpr int kDoctorProgramDevelopment = 21114;
inline constexpr int kDoctorRootExpiresSoon = 21115;
inline constexpr int kDoctorRootsUnusable = 21116;
inline constexpr int kDoctorItemVersion = 21117;
inline constexpr int kDoctorItemBuild = 21118;
inline constexpr int kDoctorItemWhitelistUrl = 21119;
inline constexpr int kDoctorItemRoot = 21120;
inline constexpr int kDoctorNoteExpiresSoon = 21121;
inline constexpr int kDoctorNoteExpired = 21122;
inline constexpr int kDoctorHandlerOk = 21123;
inline constexpr int kDoctorHandlerMissing = 21124;
inline constexpr int kDoctorHandlerWrong = 21125;
inline constexpr int kDoctorProgramMissing = 21126;
inline constexpr int kDoctorItemProgram = 21127;
inline constexpr int kDoctorItemDesktopEntry = 21128;
inline constexpr int kDoctorItemExec = 21129;
inline constexpr int kDoctorItemProblem = 21130;
inline constexpr int kDoctorItemFix = 21131;
inline constexpr int kDoctorNoteFixFailed = 21132;
inline constexpr int kDoctorSettingsOk = 21133;
inline constexpr int kDoctorSettingsUnknown = 21134;
inline constexpr int kDoctorPasswordUnreadable = 21135;
inline constexpr int kDoctorItemUserFile = 21136;
inline constexpr int kDoctorItemMachineFile = 21137;
inline constexpr int kDoctorItemSetting = 21138;
inline constexpr int kDoctorItemUnknownSetting = 21139;
inline constexpr int kDoctorNoteNotPresent = 21140;
inline constexpr int kDoctorNoteUnknown = 21141;
inline constexpr int kDoctorNoteUnreadable = 21142;
inline constexpr int kDoctorWhitelistOk = 21143;
inline constexpr int kDoctorWhitelistFailed = 21144;
inline constexpr int kDoctorServiceNotListed = 21145;
inline constexpr int kDoctorServiceUntrusted = 21146;
inline constexpr int kDoctorServiceUnreachable = 21147;
inline constexpr int kDoctorServiceBadUrl = 21148;
inline constexpr int kDoctorItemProxy = 21149;
inline constexpr int kDoctorItemTime = 21150;
inline constexpr int kDoctorItemHosts = 21151;
inline constexpr int kDoctorItemLogEntry = 21152;
inline constexpr int kDoctorItemServiceHost = 21153;
inline constexpr int kDoctorItemServiceTls = 21154;
inline constexpr int kDoctorNoteOnWhitelist = 21155;
inline constexpr int kDoctorNoteNotOnWhitelist = 21156;
inline constexpr int kDoctorNoteTrusted = 21157;
inline constexpr int kDoctorNoteNotTrusted = 21158;
inline constexpr int kDoctorTokensOk = 21159;
inline constexpr int kDoctorTokensNone = 21160;
inline constexpr int kDoctorTokensNonePasses = 21161;
inline constexpr int kDoctorTokenLocked = 21162;
inline constexpr int kDoctorTokenFewTries = 21163;
inline constexpr int kDoctorDatabaseMissing = 21164;
inline constexpr int kDoctorDatabaseUnusable = 21165;
inline constexpr int kDoctorModuleNotLoaded = 21166;
inline constexpr int kDoctorItemDatabase = 21167;
inline constexpr int kDoctorItemModule = 21168;
inline constexpr int kDoctorItemToken = 21169;
inline constexpr int kDoctorItemCertificate = 21170;
inline constexpr int kDoctorNoteLoginRequired = 21171;
inline constexpr int kDoctorNoteFewTries = 21172;
inline constexpr int kDoctorNoteLastTry = 21173;
inline constexpr int kDoctorNoteLocked = 21174;
inline constexpr int kDoctorNotePasses = 21175;
inline constexpr int kDoctorNoteFails = 21176;
inline constexpr int kDoctorNoteNotLoaded = 21177;
inline constexpr int kDoctorCardsOk = 21178;
inline constexpr int kDoctorCardsNoService = 21179;
inline constexpr int kDoctorItemReader = 21180;
inline constexpr int kDoctorItemAlternative = 21181;
inline constexpr int kDoctorNoteNoCard = 21182;
inline constexpr int kDoctorNoteUnknownCard = 21183;
inline constexpr int kDoctorStoreOk = 21184;
inline constexpr int kDoctorStoreAbsent = 21185;
inline constexpr int kDoctorStoreDamaged = 21186;
inline constexpr int kDoctorStoreBusy = 21187;
inline constexpr int kDoctorStoreUnreadable = 21188;
inline constexpr int kDoctorItemPath = 21189;
inline constexpr int kDoctorItemSize = 21190;
inline constexpr int kDoctorItemEntries = 21191;
inline constexpr int kDoctorItemErrorEntry = 21192;
inline constexpr int kDoctorFiltersUnreadable = 21193;
inline constexpr int kDoctorItemMessage = 21194;

// 21250: faults the user can act on.
inline constexpr int kProxyCredentialsRefused = 21250;
inline constexpr int kEventLogCannotBeKept = 21251;

// Certificate choice when nothing can be offered; names for assistive
// technology.
inline constexpr int kNoCertificatePassesProvider = 21300;
inline constexpr int kNoCertificatePassesService = 21301;
inline constexpr int kNoCertificateInsertCard = 21302;
inline constexpr int kRefreshCertificatesButton = 21303;
inline constexpr int kProgressAccessibleName = 21304;
inline constexpr int kIconError = 21305;
inline constexpr int kIconWarning = 21306;
inline constexpr int kIconInformation = 21307;
inline constexpr int kIconDone = 21308;
inline constexpr int kPhoneImageAccessibleName = 21309;
inline constexpr int kLogoAccessibleName = 21310;
inline constexpr int kMainWithoutSession = 21311;

// Why a server's certificate is not trusted.
inline constexpr int kVerifySelfSigned = 21312;
inline constexpr int kVerifySelfSignedInChain = 21313;
inline constexpr int kVerifyUnknownIssuer = 21314;
inline constexpr int kVerifyExpired = 21315;
inline constexpr int kVerifyNotYetValid = 21316;
inline constexpr int kVerifyOtherName = 21317;
inline constexpr int kVerifyRevoked = 21318;

// Certificate details: the key and its usage.
inline constexpr int kKeyDescription = 21319;
inline constexpr int kUsageDigitalSignature = 21320;
inline constexpr int kUsageNonRepudiation = 21321;
inline constexpr int kUsageKeyEncipherment = 21322;
inline constexpr int kUsageDataEncipherment = 21323;
inline constexpr int kUsageKeyAgreement = 21324;
inline constexpr int kUsageCertificateSigning = 21325;
inline constexpr int kUsageCrlSigning = 21326;
inline constexpr int kKeyLabel = 21327;
inline constexpr int kKeyUsageLabel = 21328;

}  // namespace nerolin::strings
