// Console texts of the chat client, byte for byte as its user and scripts expect them.
#pragma once

namespace client_msg {

inline constexpr char kUsage[] = "Usage : %s machine port-number username\n";
// What --help says after the usage line.
inline constexpr char kDescription[] =
    "Chats as username with the server on machine, port-number (1 to 65535): sends what is\n"
    "typed, shows the server's info replies and stores the image it sends on \"envoie\" as\n"
    "output/testsortie.tga.\n";
inline constexpr char kSocket[] = "Socket rendez-vous n'a pu etre cree";
inline constexpr char kConnect[] = "Erreur de connexion";
inline constexpr char kTalkSocket[] = "Socket rendez-vous pour talk n'a pu etre cree\n";
inline constexpr char kTalkConnect[] = "Erreur de connexion au talk";
inline constexpr char kUnknownHost[] = "Machine inconnue : %s\n";
inline constexpr char kLookupFailed[] = "Recherche de la machine %s impossible : %s\n";

inline constexpr char kUser[] = "User: %s - %d; Machine: %s\n";
inline constexpr char kTalkUp[] = "Connexion au talk etablie\n";
inline constexpr char kPrompt[] = "Dites moi quelque chose\n";
inline constexpr char kWillReceive[] = "Je vais recevoir une image\n";
inline constexpr char kImageSize[] = "Taille de l'image a recevoir : %ld\n";
inline constexpr char kTransform[] = "Je transforme une image : %s\n";
inline constexpr char kCopied[] = "Copie terminee : lu %d octets , \n";
// Before each info reply, shown with its bytes as they came (escaped on a terminal).
inline constexpr char kInfoPrefix[] = "Info du serveur : ";

// Notices on the standard error.
inline constexpr char kShortImage[] = "Image incomplete : %d octets recus sur %d\n";
inline constexpr char kPartKept[] = "Octets recus gardes dans output/testsortie.tga.part\n";
inline constexpr char kOutputFile[] = "output/testsortie.tga";
inline constexpr char kPartFile[] = "output/testsortie.tga.part";
// The name the received image is written under until it is complete, where the file system
// cannot hold it unnamed.
inline constexpr char kNewFilePattern[] = "output/.testsortie.tga.XXXXXX";
inline constexpr char kOutputWrite[] = "Ecriture de output/testsortie.tga";
inline constexpr char kPartWrite[] = "Ecriture de output/testsortie.tga.part";
inline constexpr char kServiceClosed[] = "Connexion service fermee par le serveur\n";
inline constexpr char kServiceRead[] = "Lecture sur la connexion service";
inline constexpr char kTalkClosed[] = "Connexion talk fermee par le serveur\n";
inline constexpr char kTalkRead[] = "Lecture sur la connexion talk";
// Info replies held during an image that could not be kept: no temporary file could be made.
inline constexpr char kRepliesDropped[] =
    "Reponses du serveur non affichees (pas de fichier temporaire) : %llu\n";
inline constexpr char kConsoleRead[] = "Lecture de la console";
inline constexpr char kTalkWrite[] = "Envoi sur la connexion talk impossible";
// The server's machine stopped answering (keepalive or unacknowledged data ran out of time).
inline constexpr char kLinkLost[] = "Le serveur ne repond plus : liaison perdue\n";

}  // namespace client_msg
