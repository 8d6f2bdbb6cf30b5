// Console texts of the chat server, byte for byte as its operator and scripts expect them.
#pragma once

namespace server_msg {

inline constexpr char kUsage[] = "Usage : %s port-number\n";
// What --help says after the usage line.
inline constexpr char kDescription[] =
    "Chats with one client: takes its service connection on port-number (1 to 65535) and\n"
    "its talk connection on port 1111, shows its lines, answers \"envoie\" with the image\n"
    "input/vorla.tga and \"info\" with the operator's next line.\n";
inline constexpr char kHostName[] = "Impossible de recuperer le nom de l'hote";
inline constexpr char kSocket[] = "socket rendez-vous";
inline constexpr char kBind[] = "Impossible d'etablir une liaison";
inline constexpr char kListen[] = "Impossible d'ecouter";
inline constexpr char kAccept[] = "Impossible d'accepter la connexion";

inline constexpr char kServiceUp[] = "Connexion service etablie. User: %s - %d; Machine: %s\n";
inline constexpr char kTalkUp[] = "Connexion talk etablie sur machine: %s\n";
inline constexpr char kConnected[] = "%s is connected\n";
inline constexpr char kWaiting[] = "J'attends \n";
inline constexpr char kChat[] = "chat is %s\n";
inline constexpr char kWillSend[] = "Je vais t'envoyer une image\n";
inline constexpr char kNothing[] = "Rien de special\n";

inline constexpr char kImageSize[] = "Taille de l'image : %ld\n";
inline constexpr char kSendProgress[] =
    "Envoi termine. Taille (octets): %ld. Lu = %d, Envoye = %d\n";
inline constexpr char kSendDone[] = "Envoi termine : %d.\n";

// Notices on the standard error when the conversation ends early.
inline constexpr char kTalkClosed[] = "Connexion talk fermee par le client\n";
// The client left (or its connection failed) before making its talk connection.
inline constexpr char kServiceClosed[] = "Connexion service fermee par le client\n";
inline constexpr char kTalkRead[] = "Lecture sur la connexion talk";
inline constexpr char kBadName[] = "Longueur de nom invalide : %ld\n";
inline constexpr char kImageSend[] = "Envoi de l'image interrompu";
// The image file gave fewer bytes than announced (it shrank or failed while being sent).
inline constexpr char kImageRead[] = "Lecture de input/vorla.tga";
inline constexpr char kImageShort[] =
    "Image raccourcie pendant l'envoi : %ld octets annonces, %d lus\n";
inline constexpr char kConsoleRead[] = "Lecture de la console";
inline constexpr char kInfoSend[] = "Envoi de la reponse info impossible";
inline constexpr char kTalkStranger[] = "Connexion talk refusee depuis %s : pas le client\n";
// The image announced as -1: its name and why it cannot be sent.
inline constexpr char kNoImage[] = "%s: %s\n";
inline constexpr char kNotAFile[] = "not a regular file";
// The client's machine stopped answering (keepalive or unacknowledged data ran out of time).
inline constexpr char kLinkLost[] = "Le client ne repond plus : liaison perdue\n";

// The image sent on "envoie", relative to the working directory.
inline constexpr char kImageFile[] = "input/vorla.tga";

}  // namespace server_msg
