#pragma once
// Every text the editor shows in a message box or a dialog, and their captions.
// The window's own labels live with the layout; a text the core also throws
// stays with the core and is widened for display.
#include <cstdint>

namespace palmtone {

namespace texts {

constexpr const wchar_t* guideCaption = L"VELK beta - Guia";
constexpr const wchar_t* guide =
    L"UNA TECLA = UN ACORDE COMPLETO\n"
    L"\n"
    L"Elige tonalidad, escala, triadas, 7mas, 9nas o Add9. Toca A S D F G H J K con esta ventana "
    L"enfocada, pulsa los pads o usa MIDI de FL Studio.\n"
    L"\n"
    L"ONE SHOTS\n"
    L"Anadir WAV agrega uno o varios sonidos. Carpeta muestra sus WAV en la biblioteca; usa la "
    L"rueda del mouse para recorrerla. Selecciona un sonido para tocarlo afinado en cada nota del "
    L"acorde. Raiz debe coincidir con la nota original del WAV (C4 por defecto; se usa el dato "
    L"smpl del archivo si existe). Keys recupera el sonido interno. Seguir tecla suelta el sonido "
    L"al soltar la tecla; One shot reproduce el archivo completo. Soltar notas detiene las colas. "
    L"La X junto a cada WAV lo quita de la biblioteca; Quitar retira el sonido cargado. Los "
    L"archivos WAV originales no se borran del disco.\n"
    L"\n"
    L"Se admite WAV mono/estereo PCM 8/16/24/32 y float 32/64, hasta 30 segundos y 64 MB. El one "
    L"shot seleccionado se incluye en el proyecto/preset al guardar el estado del plugin. La "
    L"carpeta de biblioteca se recuerda; sus otros archivos siguen en tu PC.\n"
    L"\n"
    L"GRABACION\n"
    L"Pulsa Grabar: hay una cuenta de 3, 2, 1 con clics audibles. Las notas se capturan despues "
    L"de esos tres segundos; Detener cancela la cuenta. Pausa/Continuar no repite la cuenta; "
    L"Pausa permite continuar sin agregar silencio; Detener permite exportar. Arrastra MIDI al "
    L"Piano roll o usa Guardar archivo .mid e importa con Ctrl+M. El MIDI contiene todas las "
    L"notas del acorde; el sonido se elige en el instrumento receptor.\n"
    L"\n"
    L"Si importas los acordes en ESTE plugin, usa Entrada MIDI: MIDI ya escrito / solo sonido. "
    L"Guarda o importa tu MIDI antes de cerrar: la toma es temporal y no se incluye en el "
    L"proyecto. La barra espaciadora alterna grabacion y pausa cuando esta ventana tiene el foco.";

constexpr const wchar_t* take = L"VELK";
constexpr const wchar_t* newTakeCaption = L"VELK - Nueva toma";
constexpr const wchar_t* stopFirst = L"Pulsa Detener antes de empezar otra toma.";
constexpr const wchar_t* replaceTake =
    L"La nueva toma reemplaza la anterior. Guarda o arrastra su MIDI antes de "
    L"continuar.\n\n\u00BFEmpezar otra toma?";
constexpr const wchar_t* oneShots = L"VELK - One shots";
constexpr const wchar_t* midiNotReady = L"No se pudo preparar el MIDI; la toma sigue disponible.";
constexpr const wchar_t* saveFailed = L"No se pudo guardar. Elige otra carpeta.";
constexpr const wchar_t* dragFailed = L"Usa Guardar archivo .mid e importalo al Piano roll con Ctrl+M.";
constexpr const wchar_t* folderTitle = L"Elige tu carpeta de one shots WAV";
// Files the library cannot keep (not a WAV path, or a name the project cannot store).
constexpr const wchar_t* skippedFiles =
    L"Estos archivos no se agregaron (solo WAV con un nombre que el proyecto pueda "
    L"guardar):";
// The add dialog's reply did not fit its buffer.
constexpr const wchar_t* tooManyFiles = L"Demasiados archivos a la vez. Elige menos archivos.";
// An action failed in a way no other message covers (for example, memory ran out).
constexpr const wchar_t* actionFailed = L"No se pudo completar la accion.";

} // namespace texts

// Message-box styles and answers, with the values Windows gives them.
namespace box {
constexpr uint32_t ok = 0x0;
constexpr uint32_t okCancel = 0x1;
constexpr uint32_t iconError = 0x10;
constexpr uint32_t iconQuestion = 0x20;
constexpr uint32_t iconInformation = 0x40;
constexpr int idOk = 1;
constexpr int idCancel = 2;
} // namespace box

} // namespace palmtone
