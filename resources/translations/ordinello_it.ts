<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>CommandLine</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: cannot be read: %2</source>
        <translation>%1: impossibile leggere: %2</translation>
    </message>
    <message>
        <source>list: unknown option %1</source>
        <translation>list: opzione sconosciuta %1</translation>
    </message>
    <message>
        <source>list: expected one FOLDER (see --help)</source>
        <translation>list: serve una CARTELLA (vedi --help)</translation>
    </message>
    <message>
        <source>unknown command %1 (see --help)</source>
        <translation>comando sconosciuto %1 (vedi --help)</translation>
    </message>
    <message>
        <source>unknown option %1 (see --help)</source>
        <translation>opzione sconosciuta %1 (vedi --help)</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 richiede un valore</translation>
    </message>
    <message>
        <source>%1: not a whole number from -2147483648 to 2147483647: %2</source>
        <translation>%1: non è un numero intero da -2147483648 a 2147483647: %2</translation>
    </message>
    <message>
        <source>--width: must be from 0 to 255</source>
        <translation>--width: deve essere tra 0 e 255</translation>
    </message>
    <message>
        <source>--width and --auto-width exclude each other</source>
        <translation>--width e --auto-width si escludono a vicenda</translation>
    </message>
    <message>
        <source>-0 applies to the names given with --order</source>
        <translation>-0 vale per i nomi indicati con --order</translation>
    </message>
    <message>
        <source>expected one FOLDER (see --help)</source>
        <translation>serve una CARTELLA (vedi --help)</translation>
    </message>
    <message>
        <source>--order: %1: %2</source>
        <translation>--order: %1: %2</translation>
    </message>
    <message>
        <source>--order: %1: not a listed item of the folder</source>
        <translation>--order: %1: non è un elemento elencato della cartella</translation>
    </message>
    <message>
        <source>--order: %1: named more than once</source>
        <translation>--order: %1: indicato più di una volta</translation>
    </message>
    <message>
        <source>--order: %1: missing</source>
        <translation>--order: %1: manca</translation>
    </message>
    <message>
        <source>cannot write the output: %1</source>
        <translation>impossibile scrivere l&apos;output: %1</translation>
    </message>
    <message>
        <source>--order: %1: more than %2 bytes, too long for a list of this folder&apos;s items</source>
        <translation>--order: %1: più di %2 byte, troppo lungo per un elenco degli elementi di questa cartella</translation>
    </message>
    <message>
        <source>Nothing was renamed.</source>
        <translation>Nessun elemento è stato rinominato.</translation>
    </message>
    <message>
        <source>Numbering %1 of %2</source>
        <translation>Numerazione di %1 su %2</translation>
    </message>
    <message>
        <source>Removing prefixes %1 of %2</source>
        <translation>Rimozione dei prefissi: %1 su %2</translation>
    </message>
    <message>
        <source>Undoing %1 of %2</source>
        <translation>Annullamento di %1 su %2</translation>
    </message>
    <message>
        <source>%1: no renaming to undo</source>
        <translation>%1: nessuna ridenominazione da annullare</translation>
    </message>
    <message>
        <source>Usage: ordinello-cli COMMAND [OPTIONS] FOLDER

Commands:
  list [-0|--null] FOLDER     print the folder&apos;s listed items, one name per line,
                              in the file manager&apos;s order (-0: NUL-terminated)
  rename [OPTIONS] FOLDER     number the listed items in order
  strip [--any-first-word] [--dry-run] [-v] FOLDER
                              remove one number prefix from each listed item; names
                              whose first word is not a number are left unchanged
                              and named on standard error
  undo [--dry-run] [-v] FOLDER
                              undo the last renaming in the folder (again: the one
                              before), never replacing an item

Options of rename:
  --first N        first number (default: the preferences)
  --step N         step between numbers, may be 0 or negative (default: the preferences)
  --width N        fixed width of the number, 0 to 255, padded with zeros
  --auto-width     width follows the number of items
  --order FILE     wanted order: every listed name exactly once, one per line, as
                   &apos;list&apos; prints them (&apos;-&apos;: standard input); otherwise nothing is renamed
  -0, --null       names in --order are NUL-separated (as &apos;list -0&apos; prints them)
  --order-by KEY   the order instead of the file manager&apos;s: name (the file manager&apos;s),
                   modified (date modified) or taken (the photo&apos;s capture date, else
                   its date modified); earliest first, equal dates by name
  --reverse        the order reversed (with --order-by, or the file manager&apos;s)
  --replace-numbers  a name&apos;s number prefix is replaced by the new number instead of
                   getting a second one in front of it

Option of strip:
  --any-first-word remove whatever stands before the first blank, number or not

Options of rename, strip and undo:
  --dry-run        print &quot;would rename &apos;a&apos; -&gt; &apos;1 a&apos;&quot; for each rename, change nothing
  -v, --verbose    print &quot;renamed &apos;a&apos; -&gt; &apos;1 a&apos;&quot; for each rename, as mv -v does

Names are quoted for the shell as GNU mv quotes them; an item&apos;s AppleDouble file
(&quot;._name&quot;) is renamed with it and printed on a line of its own. Each failed item is
named on standard error as &quot;ordinello-cli: &apos;name&apos;: reason&quot;; the others are still renamed.
A symbolic link that points at an item being renamed is named there too.

  -h, --help       show this help
      --version    show the version

Exit status: 0 all items handled, 1 some items failed, 2 usage or folder error.
</source>
        <translation>Uso: ordinello-cli COMANDO [OPZIONI] CARTELLA

Comandi:
  list [-0|--null] CARTELLA   stampa gli elementi elencati della cartella, un nome per
                              riga, nell&apos;ordine del gestore di file (-0: terminati da NUL)
  rename [OPZIONI] CARTELLA   numera gli elementi elencati nell&apos;ordine
  strip [--any-first-word] [--dry-run] [-v] CARTELLA
                              toglie un prefisso numerico da ogni elemento elencato; i
                              nomi la cui prima parola non è un numero restano invariati
                              e sono indicati sullo standard error
  undo [--dry-run] [-v] CARTELLA
                              annulla l&apos;ultima ridenominazione nella cartella (di nuovo:
                              quella precedente), senza mai sostituire un elemento

Opzioni di rename:
  --first N        primo numero (predefinito: le preferenze)
  --step N         passo tra i numeri, anche 0 o negativo (predefinito: le preferenze)
  --width N        larghezza fissa del numero, da 0 a 255, completata con zeri
  --auto-width     la larghezza segue il numero di elementi
  --order FILE     ordine voluto: ogni nome elencato esattamente una volta, uno per riga,
                   come li stampa &apos;list&apos; (&apos;-&apos;: standard input); altrimenti nulla è rinominato
  -0, --null       i nomi in --order sono separati da NUL (come li stampa &apos;list -0&apos;)
  --order-by CHIAVE l&apos;ordine al posto di quello del gestore di file: name (quello del
                   gestore di file), modified (data di modifica) o taken (la data di scatto
                   della foto, altrimenti la data di modifica); prima i più vecchi, a date
                   uguali per nome
  --reverse        l&apos;ordine rovesciato (con --order-by, o quello del gestore di file)
  --replace-numbers  il prefisso numerico di un nome è sostituito dal nuovo numero invece
                   di riceverne un secondo davanti

Opzione di strip:
  --any-first-word toglie tutto ciò che precede il primo spazio, numero o no

Opzioni di rename, strip e undo:
  --dry-run        stampa &quot;would rename &apos;a&apos; -&gt; &apos;1 a&apos;&quot; per ogni ridenominazione, senza cambiare nulla
  -v, --verbose    stampa &quot;renamed &apos;a&apos; -&gt; &apos;1 a&apos;&quot; per ogni ridenominazione, come mv -v

I nomi sono quotati per la shell come li quota GNU mv; il file AppleDouble di un elemento
(&quot;._nome&quot;) è rinominato con esso e stampato su una riga a sé. Ogni elemento non riuscito è
indicato sullo standard error come &quot;ordinello-cli: &apos;nome&apos;: motivo&quot;; gli altri sono comunque rinominati.
Anche un collegamento simbolico che punta a un elemento rinominato vi è indicato.

  -h, --help       mostra questo aiuto
      --version    mostra la versione

Stato d&apos;uscita: 0 tutti gli elementi trattati, 1 alcuni non riusciti, 2 errore d&apos;uso o di cartella.
</translation>
    </message>
    <message>
        <source>--order-by: name, modified or taken, not %1</source>
        <translation>--order-by: name, modified o taken, non %1</translation>
    </message>
    <message>
        <source>--order and --order-by or --reverse exclude each other</source>
        <translation>--order esclude --order-by e --reverse</translation>
    </message>
    <message>
        <source>Reading dates %1 of %2</source>
        <translation>Lettura delle date: %1 su %2</translation>
    </message>
    <message>
        <source>rename: %1 items numbered from %2 in steps of %3 would end at %4, outside -2147483648 to 2147483647; nothing was renamed</source>
        <translation>rename: %1 elementi numerati da %2 a passi di %3 finirebbero a %4, fuori dall&apos;intervallo da -2147483648 a 2147483647; nessun elemento è stato rinominato</translation>
    </message>
</context>
<context>
    <name>ExportSettingsDialog</name>
    <message>
        <source>(now on)</source>
        <translation>(ora attivo)</translation>
    </message>
    <message>
        <source>(now off)</source>
        <translation>(ora disattivo)</translation>
    </message>
</context>
<context>
    <name>Launch</name>
    <message>
        <source>ordinello: unknown option %1
</source>
        <translation>ordinello: opzione sconosciuta %1
</translation>
    </message>
    <message>
        <source>Usage: ordinello [FOLDER...]
Lists each FOLDER&apos;s items, in a window of its own, in the file manager&apos;s order so
you can drag them into the order you want and number them.

  -h, --help     show this help
      --version  show the version
</source>
        <translation>Uso: ordinello [CARTELLA...]
Elenca gli elementi di ogni CARTELLA, ciascuna in una finestra, nell&apos;ordine del
gestore di file, così puoi trascinarli nell&apos;ordine che vuoi e numerarli.

  -h, --help     mostra questo aiuto
      --version  mostra la versione
</translation>
    </message>
</context>
<context>
    <name>LocalizedStrings</name>
    <message>
        <source>an item with that name already exists</source>
        <translation>esiste già un elemento con quel nome</translation>
    </message>
    <message>
        <source>name too long</source>
        <translation>nome troppo lungo</translation>
    </message>
    <message>
        <source>no such file or folder</source>
        <translation>file o cartella inesistente</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>permesso negato</translation>
    </message>
    <message>
        <source>not a folder</source>
        <translation>non è una cartella</translation>
    </message>
    <message>
        <source>read-only file system</source>
        <translation>file system in sola lettura</translation>
    </message>
    <message>
        <source>An update is available for Ordinello (version %@.) Use Software Update in the Ordinello menu to download it.</source>
        <translation>È disponibile un aggiornamento di Ordinello (versione %@). Usa Aggiornamento software nel menu Ordinello per scaricarlo.</translation>
    </message>
    <message>
        <source>(You can turn off automatic software update checks in Preferences.)</source>
        <translation>(Puoi disattivare il controllo automatico degli aggiornamenti nelle Preferenze.)</translation>
    </message>
    <message>
        <source>Checking for a software update...</source>
        <translation>Ricerca di un aggiornamento software...</translation>
    </message>
    <message>
        <source>Ordinello could not check for a software update at this time.</source>
        <translation>Ordinello non può cercare aggiornamenti software in questo momento.</translation>
    </message>
    <message>
        <source>Connection failed with error: %@ %@</source>
        <translation>Connessione non riuscita con errore: %@ %@</translation>
    </message>
    <message>
        <source>Loaded the version information...</source>
        <translation>Informazioni sulla versione caricate...</translation>
    </message>
    <message>
        <source>An update is available for Ordinello.</source>
        <translation>È disponibile un aggiornamento di Ordinello.</translation>
    </message>
    <message>
        <source>Your software is up to date.</source>
        <translation>Il software è aggiornato.</translation>
    </message>
    <message>
        <source>The current version information could not be read.</source>
        <translation>Impossibile leggere le informazioni sulla versione attuale.</translation>
    </message>
    <message>
        <source>The download could not start.</source>
        <translation>Impossibile avviare lo scaricamento.</translation>
    </message>
    <message>
        <source>Final file destination: %@</source>
        <translation>Destinazione finale del file: %@</translation>
    </message>
    <message>
        <source>Bytes received : %d</source>
        <translation>Byte ricevuti : %d</translation>
    </message>
    <message>
        <source>Percent complete : %f</source>
        <translation>Percentuale completata : %f</translation>
    </message>
    <message>
        <source>The download has completed.</source>
        <translation>Lo scaricamento è terminato.</translation>
    </message>
    <message>
        <source>Download failed! Error - %@ %@</source>
        <translation>Scaricamento non riuscito! Errore - %@ %@</translation>
    </message>
    <message>
        <source>The address %1 cannot be downloaded.</source>
        <translation>Impossibile scaricare dall&apos;indirizzo %1.</translation>
    </message>
    <message>
        <source>The file is larger than the %1 bytes accepted.</source>
        <translation>Il file supera i %1 byte accettati.</translation>
    </message>
    <message>
        <source>The server answered %1.</source>
        <translation>Il server ha risposto %1.</translation>
    </message>
    <message>
        <source>The server did not answer within %1 seconds.</source>
        <translation>Il server non ha risposto entro %1 secondi.</translation>
    </message>
    <message>
        <source>The server sent %1 of the %2 bytes it announced.</source>
        <translation>Il server ha inviato %1 dei %2 byte annunciati.</translation>
    </message>
    <message>
        <source>The server sent no file.</source>
        <translation>Il server non ha inviato alcun file.</translation>
    </message>
    <message>
        <source>The server sent the request on to another site, which is not followed.</source>
        <translation>Il server ha rinviato la richiesta a un altro sito, che non viene seguito.</translation>
    </message>
    <message>
        <source>There is no folder to download to.</source>
        <translation>Non esiste una cartella in cui scaricare.</translation>
    </message>
    <message>
        <source>There is no free name for %1 in the download folder.</source>
        <translation>Nella cartella di scaricamento non c&apos;è un nome libero per %1.</translation>
    </message>
    <message>
        <source>The address is not valid.</source>
        <translation>L’indirizzo non è valido.</translation>
    </message>
    <message>
        <source>another program changed the item while it was being renamed</source>
        <translation>un altro programma ha modificato l’elemento mentre veniva rinominato</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The server did not send the file within %1 seconds.</source>
        <translation>Il server non ha inviato il file entro %1 secondi.</translation>
    </message>
    <message>
        <source>The server sent the request round in a loop.</source>
        <translation>Il server ha rimandato la richiesta in un giro senza fine.</translation>
    </message>
    <message>
        <source>The server sent the request on more than %1 times.</source>
        <translation>Il server ha rimandato la richiesta altrove più di %1 volte.</translation>
    </message>
    <message>
        <source>The server sent fewer than %1 bytes in %2 seconds.</source>
        <translation>Il server ha inviato meno di %1 byte in %2 secondi.</translation>
    </message>
    <message>
        <source>The server closed the connection before the end of the file was marked.</source>
        <translation>Il server ha chiuso la connessione prima che la fine del file fosse segnalata.</translation>
    </message>
    <message>
        <source>The download folder cannot be opened: %1</source>
        <translation>Impossibile aprire la cartella di scaricamento: %1</translation>
    </message>
    <message>
        <source>The download file cannot be created: %1</source>
        <translation>Impossibile creare il file da scaricare: %1</translation>
    </message>
    <message>
        <source>The downloaded data cannot be written: %1</source>
        <translation>Impossibile scrivere i dati scaricati: %1</translation>
    </message>
    <message>
        <source>The server sent an empty file.</source>
        <translation>Il server ha inviato un file vuoto.</translation>
    </message>
    <message>
        <source>The server sent no length and no checksum is published, so the file cannot be known to be whole.</source>
        <translation>Il server non ha indicato la lunghezza e non è pubblicata alcuna somma di controllo: non si può sapere se il file è completo.</translation>
    </message>
    <message>
        <source>The downloaded file does not match the published SHA-256 checksum.</source>
        <translation>Il file scaricato non corrisponde alla somma di controllo SHA-256 pubblicata.</translation>
    </message>
    <message>
        <source>The downloaded file cannot be renamed: %1</source>
        <translation>Impossibile rinominare il file scaricato: %1</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Scegli</translation>
    </message>
    <message>
        <source>Choose folder</source>
        <translation>Scegli la cartella</translation>
    </message>
    <message>
        <source>the new name would not be a valid name</source>
        <translation>il nuovo nome non sarebbe un nome valido</translation>
    </message>
    <message>
        <source>another item took its place since the folder was listed</source>
        <translation>un altro elemento ne ha preso il posto dopo l&apos;elenco della cartella</translation>
    </message>
    <message>
        <source>the item was removed or moved away since the folder was listed</source>
        <translation>l&apos;elemento è stato rimosso o spostato dopo l&apos;elenco della cartella</translation>
    </message>
    <message>
        <source>its AppleDouble file “%1” could not be renamed with it: %2</source>
        <translation>il suo file AppleDouble “%1” non ha potuto essere rinominato insieme: %2</translation>
    </message>
    <message>
        <source>renamed to “%1”, but %2</source>
        <translation>rinominato in “%1”, ma %2</translation>
    </message>
    <message>
        <source>[Logging starting at </source>
        <translation>[Registro avviato il </translation>
    </message>
    <message>
        <source>[Logging stopping at </source>
        <translation>[Registro fermato il </translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Keep the Names</source>
        <translation>Mantieni i nomi</translation>
    </message>
    <message>
        <source>Numbering %1 of %2</source>
        <translation>Numerazione di %1 su %2</translation>
    </message>
    <message>
        <source>Removing prefixes %1 of %2</source>
        <translation>Rimozione dei prefissi: %1 su %2</translation>
    </message>
    <message>
        <source>Undoing %1 of %2</source>
        <translation>Annullamento di %1 su %2</translation>
    </message>
    <message>
        <source>Removing the prefixes of %1 items in “%2” was interrupted. Undo the renames it made?</source>
        <translation>La rimozione dei prefissi di %1 elementi in “%2” è stata interrotta. Annullare le ridenominazioni già fatte?</translation>
    </message>
    <message>
        <source>Numbering %1 items in “%2” was interrupted. Undo the renames it made?</source>
        <translation>La numerazione di %1 elementi in “%2” è stata interrotta. Annullare le ridenominazioni già fatte?</translation>
    </message>
    <message>
        <source>The undo journal cannot be written to “%1”: %2</source>
        <translation>Impossibile scrivere il registro di annullamento in “%1”: %2</translation>
    </message>
    <message>
        <source>The undo journal “%1” cannot be used: %2</source>
        <translation>Impossibile usare il registro di annullamento “%1”: %2</translation>
    </message>
    <message>
        <source>it is not a journal of this program</source>
        <translation>non è un registro di questo programma</translation>
    </message>
    <message>
        <source>it is damaged or incomplete</source>
        <translation>è danneggiato o incompleto</translation>
    </message>
    <message>
        <source>it was written by another version of the program</source>
        <translation>è stato scritto da un’altra versione del programma</translation>
    </message>
    <message>
        <source>Current Name</source>
        <translation>Nome attuale</translation>
    </message>
    <message>
        <source>New Name</source>
        <translation>Nuovo nome</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Do not ask again</source>
        <translation>Non chiedere più</translation>
    </message>
    <message>
        <source>Number Items</source>
        <translation>Numera gli elementi</translation>
    </message>
    <message>
        <source>Remove Number Prefixes</source>
        <translation>Rimuovi i prefissi numerici</translation>
    </message>
    <message>
        <source>1 name will be changed.</source>
        <translation>Verrà cambiato 1 nome.</translation>
    </message>
    <message>
        <source>%1 names will be changed.</source>
        <translation>Verranno cambiati %1 nomi.</translation>
    </message>
    <message>
        <source>1 rename will fail.</source>
        <translation>1 ridenominazione non riuscirà.</translation>
    </message>
    <message>
        <source>%1 renames will fail.</source>
        <translation>%1 ridenominazioni non riusciranno.</translation>
    </message>
    <message>
        <source>Remove Prefixes</source>
        <translation>Rimuovi i prefissi</translation>
    </message>
    <message>
        <source>The undo journal “%1” belongs to another folder.</source>
        <translation>Il registro di annullamento “%1” appartiene a un’altra cartella.</translation>
    </message>
    <message>
        <source>The folder “%1” cannot be opened: %2</source>
        <translation>Impossibile aprire la cartella “%1”: %2</translation>
    </message>
    <message>
        <source>another item took its place since the renaming</source>
        <translation>un altro elemento ha preso il suo posto dopo la ridenominazione</translation>
    </message>
    <message>
        <source>the item was removed or moved away since the renaming</source>
        <translation>l’elemento è stato rimosso o spostato dopo la ridenominazione</translation>
    </message>
    <message>
        <source>Undo Prefix Removal of 1 Item</source>
        <translation>Annulla la rimozione del prefisso di 1 elemento</translation>
    </message>
    <message>
        <source>Undo Prefix Removal of %1 Items</source>
        <translation>Annulla la rimozione dei prefissi di %1 elementi</translation>
    </message>
    <message>
        <source>Undo Numbering of 1 Item</source>
        <translation>Annulla la numerazione di 1 elemento</translation>
    </message>
    <message>
        <source>Undo Numbering of %1 Items</source>
        <translation>Annulla la numerazione di %1 elementi</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>non è un file normale</translation>
    </message>
    <message>
        <source>another run is changing this folder</source>
        <translation>un&apos;altra operazione sta modificando questa cartella</translation>
    </message>
    <message>
        <source>the item has both names and one of them cannot be removed</source>
        <translation>l&apos;elemento ha entrambi i nomi e uno dei due non può essere rimosso</translation>
    </message>
    <message>
        <source>The published version “%@” cannot name a package.</source>
        <translation>La versione pubblicata “%@” non può dare il nome a un pacchetto.</translation>
    </message>
    <message>
        <source>No file manager is installed.</source>
        <translation>Non è installato alcun file manager.</translation>
    </message>
    <message>
        <source>a number of another width than most</source>
        <translation>un numero di larghezza diversa dalla maggior parte</translation>
    </message>
    <message>
        <source>first word is not a number</source>
        <translation>la prima parola non è un numero</translation>
    </message>
    <message>
        <source>already starts with a number</source>
        <translation>inizia già con un numero</translation>
    </message>
    <message>
        <source>1 name already starts with a number.</source>
        <translation>1 nome inizia già con un numero.</translation>
    </message>
    <message>
        <source>%1 names already start with a number.</source>
        <translation>%1 nomi iniziano già con un numero.</translation>
    </message>
    <message>
        <source>1 name starts with a word that is not a number.</source>
        <translation>1 nome inizia con una parola che non è un numero.</translation>
    </message>
    <message>
        <source>%1 names start with a word that is not a number.</source>
        <translation>%1 nomi iniziano con una parola che non è un numero.</translation>
    </message>
    <message>
        <source>1 name starts with a number of another width than most, such as a year.</source>
        <translation>1 nome inizia con un numero di larghezza diversa dalla maggior parte, come un anno.</translation>
    </message>
    <message>
        <source>%1 names start with a number of another width than most, such as a year.</source>
        <translation>%1 nomi iniziano con un numero di larghezza diversa dalla maggior parte, come un anno.</translation>
    </message>
    <message>
        <source>Replace Numbers</source>
        <translation>Sostituisci i numeri</translation>
    </message>
    <message>
        <source>Add Numbers</source>
        <translation>Aggiungi i numeri</translation>
    </message>
    <message>
        <source>Remove Numbers Only</source>
        <translation>Rimuovi solo i numeri</translation>
    </message>
    <message>
        <source>Remove First Words Too</source>
        <translation>Rimuovi anche le prime parole</translation>
    </message>
    <message>
        <source>Keep these</source>
        <translation>Mantieni questi</translation>
    </message>
    <message>
        <source>points at an item being renamed</source>
        <translation>punta a un elemento che viene rinominato</translation>
    </message>
    <message>
        <source>left unchanged: first word is not a number</source>
        <translation>lasciato invariato: la prima parola non è un numero</translation>
    </message>
    <message>
        <source>The arranged order cannot be kept in “%1”: %2</source>
        <translation>L’ordine disposto non può essere conservato in “%1”: %2</translation>
    </message>
    <message>
        <source>Stop the run after the current item (Esc)</source>
        <translation>Ferma l’operazione dopo l’elemento in corso (Esc)</translation>
    </message>
    <message>
        <source>Numbering %1 items from %2 in steps of %3 would end at %4, outside the numbers Ordinello can give (from %5 to %6). Nothing was renamed: choose another first number or step in Preferences.</source>
        <translation>Numerare %1 elementi partendo da %2 a passi di %3 arriverebbe a %4, fuori dai numeri che Ordinello può assegnare (da %5 a %6). Nessun elemento è stato rinominato: scegli un altro numero iniziale o un altro passo nelle Preferenze.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Ordinello</source>
        <translation>Ordinello</translation>
    </message>
    <message>
        <source>Choose a folder to put its items in order.</source>
        <translation>Scegli una cartella per metterne in ordine gli elementi.</translation>
    </message>
    <message>
        <source>&amp;Ordinello</source>
        <translation>&amp;Ordinello</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Modifica</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aiuto</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Barra degli strumenti</translation>
    </message>
    <message>
        <source>Choose &amp;Folder…</source>
        <translation>Scegli &amp;cartella…</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Choose the folder whose items to put in order</source>
        <translation>Scegli la cartella di cui ordinare gli elementi</translation>
    </message>
    <message>
        <source>&amp;Number Items</source>
        <translation>&amp;Numera elementi</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Rename every listed item with a sequence number in front, in the order shown</source>
        <translation>Rinomina ogni elemento elencato anteponendo un numero progressivo, nell&apos;ordine mostrato</translation>
    </message>
    <message>
        <source>&amp;Remove Number Prefixes</source>
        <translation>&amp;Rimuovi prefissi numerici</translation>
    </message>
    <message>
        <source>Ctrl+Shift+R</source>
        <translation>Ctrl+Shift+R</translation>
    </message>
    <message>
        <source>Take one prefix (up to the first blank) off every listed item</source>
        <translation>Togli un prefisso (fino al primo spazio) da ogni elemento elencato</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Esci</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation>Sposta in &amp;su</translation>
    </message>
    <message>
        <source>Ctrl+Up</source>
        <translation>Ctrl+Up</translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation>Sposta in &amp;giù</translation>
    </message>
    <message>
        <source>Ctrl+Down</source>
        <translation>Ctrl+Down</translation>
    </message>
    <message>
        <source>Move to &amp;Top</source>
        <translation>Sposta in &amp;cima</translation>
    </message>
    <message>
        <source>Ctrl+Home</source>
        <translation>Ctrl+Home</translation>
    </message>
    <message>
        <source>Move to &amp;Bottom</source>
        <translation>Sposta in &amp;fondo</translation>
    </message>
    <message>
        <source>Ctrl+End</source>
        <translation>Ctrl+End</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Apri</translation>
    </message>
    <message>
        <source>Show in File &amp;Manager</source>
        <translation>Mostra nel &amp;file manager</translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation>&amp;Preferenze…</translation>
    </message>
    <message>
        <source>Ctrl+,</source>
        <translation>Ctrl+,</translation>
    </message>
    <message>
        <source>Ordinello &amp;Help</source>
        <translation>&amp;Guida di Ordinello</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>&amp;About Ordinello</source>
        <translation>&amp;Informazioni su Ordinello</translation>
    </message>
    <message>
        <source>About Ordinello</source>
        <translation>Informazioni su Ordinello</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Ordinello %1&lt;/h3&gt;&lt;p&gt;Put a folder&apos;s items in the order you choose, then number them so every name-sorted view keeps that order.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Ordinello %1&lt;/h3&gt;&lt;p&gt;Metti gli elementi di una cartella nell&apos;ordine che scegli, poi numerali perché ogni vista ordinata per nome mantenga quell&apos;ordine.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>1 item</source>
        <translation>1 elemento</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>%1 elementi</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Vista</translation>
    </message>
    <message>
        <source>&amp;Reload</source>
        <translation>&amp;Ricarica</translation>
    </message>
    <message>
        <source>F5</source>
        <translation>F5</translation>
    </message>
    <message>
        <source>Read the folder again, keeping the order you arranged</source>
        <translation>Rileggi la cartella mantenendo l’ordine che hai scelto</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>&amp;Ingrandisci</translation>
    </message>
    <message>
        <source>Show larger pictures of the items</source>
        <translation>Mostra immagini più grandi degli elementi</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>&amp;Rimpicciolisci</translation>
    </message>
    <message>
        <source>Show smaller pictures of the items</source>
        <translation>Mostra immagini più piccole degli elementi</translation>
    </message>
    <message>
        <source>&amp;Normal Size</source>
        <translation>Dimensione &amp;normale</translation>
    </message>
    <message>
        <source>Ctrl+0</source>
        <translation>Ctrl+0</translation>
    </message>
    <message>
        <source>Show the items&apos; pictures at their usual size</source>
        <translation>Mostra le immagini degli elementi alla dimensione consueta</translation>
    </message>
    <message>
        <source>Check for &amp;Updates…</source>
        <translation>Verifica &amp;aggiornamenti…</translation>
    </message>
    <message>
        <source>&amp;Arrange By</source>
        <translation>&amp;Disponi per</translation>
    </message>
    <message>
        <source>&amp;File Manager Order</source>
        <translation>Ordine del &amp;gestore di file</translation>
    </message>
    <message>
        <source>Date &amp;Modified</source>
        <translation>Data di &amp;modifica</translation>
    </message>
    <message>
        <source>Date &amp;Taken</source>
        <translation>Data di &amp;scatto</translation>
    </message>
    <message>
        <source>&amp;Reverse Order</source>
        <translation>Ordine &amp;inverso</translation>
    </message>
    <message>
        <source>Put the items back in the order the file manager shows them</source>
        <translation>Rimette gli elementi nell’ordine in cui li mostra il gestore di file</translation>
    </message>
    <message>
        <source>Put the items in the order they were last changed, earliest first</source>
        <translation>Dispone gli elementi secondo l’ultima modifica, prima i più vecchi</translation>
    </message>
    <message>
        <source>Put photos in the order they were taken, earliest first; other items by the date they were changed</source>
        <translation>Dispone le foto nell’ordine in cui sono state scattate, prima le più vecchie; gli altri elementi secondo la data di modifica</translation>
    </message>
    <message>
        <source>Turn the list upside down</source>
        <translation>Capovolge l’elenco</translation>
    </message>
</context>
<context>
    <name>OrdinelloController</name>
    <message>
        <source>#</source>
        <translation>N.</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Anteprima</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>“%1” cannot be listed: %2.</source>
        <translation>Impossibile elencare “%1”: %2.</translation>
    </message>
    <message>
        <source>Current Directory: %1</source>
        <translation>Cartella attuale: %1</translation>
    </message>
    <message>
        <source>The items of “%1” cannot be listed: %2.</source>
        <translation>Impossibile elencare gli elementi di “%1”: %2.</translation>
    </message>
    <message>
        <source>“%1” could not be opened: %2</source>
        <translation>Non è stato possibile aprire “%1”: %2</translation>
    </message>
    <message>
        <source>The folder “%1” could not be shown: %2</source>
        <translation>Non è stato possibile mostrare la cartella “%1”: %2</translation>
    </message>
    <message>
        <source>The manual is not installed: %1 has no help folder.</source>
        <translation>Il manuale non è installato: %1 non ha una cartella help.</translation>
    </message>
    <message>
        <source>No application could open the manual “%1”: %2

Open it in a web browser.</source>
        <translation>Nessuna applicazione ha potuto aprire il manuale “%1”: %2

Aprilo in un browser web.</translation>
    </message>
    <message>
        <source>Your arranged order was restored</source>
        <translation>Il tuo ordine è stato ripristinato</translation>
    </message>
    <message>
        <source>Reading dates %1 of %2</source>
        <translation>Lettura delle date: %1 su %2</translation>
    </message>
    <message>
        <source>The folder “%1” was deleted.</source>
        <translation>La cartella “%1” è stata eliminata.</translation>
    </message>
    <message>
        <source>The folder “%1” was moved to the trash.</source>
        <translation>La cartella “%1” è stata spostata nel cestino.</translation>
    </message>
    <message>
        <source>The folder “%1” can no longer be found.</source>
        <translation>La cartella “%1” non si trova più.</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Preferences</source>
        <translation>Preferenze</translation>
    </message>
    <message>
        <source>Numbering</source>
        <translation>Numerazione</translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation>&amp;Primo numero:</translation>
    </message>
    <message>
        <source>The number the first item in the list gets</source>
        <translation>Il numero che riceve il primo elemento dell&apos;elenco</translation>
    </message>
    <message>
        <source>&amp;Increment by:</source>
        <translation>&amp;Incremento:</translation>
    </message>
    <message>
        <source>Added to the number from one item to the next; may be 0 or negative</source>
        <translation>Aggiunto al numero da un elemento al successivo; può essere 0 o negativo</translation>
    </message>
    <message>
        <source>&amp;Automatic number length (as many digits as the number of items has)</source>
        <translation>&amp;Lunghezza automatica del numero (tante cifre quante ne ha il numero di elementi)</translation>
    </message>
    <message>
        <source>Fixed number &amp;length:</source>
        <translation>Lunghezza &amp;fissa del numero:</translation>
    </message>
    <message>
        <source>Numbers are padded with zeros to this many digits</source>
        <translation>I numeri sono completati con zeri fino a questo numero di cifre</translation>
    </message>
    <message>
        <source> digits</source>
        <translation> cifre</translation>
    </message>
    <message>
        <source>&amp;Check for software updates after launch</source>
        <translation>&amp;Cerca aggiornamenti software all&apos;avvio</translation>
    </message>
    <message>
        <source>Changes apply from the next renaming.</source>
        <translation>Le modifiche valgono dalla prossima rinomina.</translation>
    </message>
    <message>
        <source>&amp;Show the planned names before renaming</source>
        <translation>&amp;Mostra i nomi previsti prima di rinominare</translation>
    </message>
</context>
<context>
    <name>RenameReportView</name>
    <message>
        <source>Show which items could not be renamed, and why</source>
        <translation>Mostra quali elementi non è stato possibile rinominare, e perché</translation>
    </message>
    <message>
        <source>Done: 1 item</source>
        <translation>Fatto: 1 elemento</translation>
    </message>
    <message>
        <source>Done: %1 items</source>
        <translation>Fatto: %1 elementi</translation>
    </message>
    <message>
        <source>1 item could not be renamed</source>
        <translation>1 elemento non è stato rinominato</translation>
    </message>
    <message>
        <source>%1 items could not be renamed</source>
        <translation>%1 elementi non sono stati rinominati</translation>
    </message>
    <message>
        <source>Items Not Renamed in “%1”</source>
        <translation>Elementi non rinominati in “%1”</translation>
    </message>
    <message>
        <source>These items in %1 could not be renamed:</source>
        <translation>Non è stato possibile rinominare questi elementi in %1:</translation>
    </message>
    <message>
        <source>Item</source>
        <translation>Elemento</translation>
    </message>
    <message>
        <source>Why</source>
        <translation>Motivo</translation>
    </message>
    <message>
        <source>Cancelled after %1 of %2 items</source>
        <translation>Interrotto dopo %1 di %2 elementi</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>1 item already had its old name</source>
        <translation>1 elemento aveva già il suo vecchio nome</translation>
    </message>
    <message>
        <source>%1 items already had their old names</source>
        <translation>%1 elementi avevano già i loro vecchi nomi</translation>
    </message>
    <message>
        <source>1 item could not be put back</source>
        <translation>1 elemento non ha riavuto il suo nome</translation>
    </message>
    <message>
        <source>%1 items could not be put back</source>
        <translation>%1 elementi non hanno riavuto il loro nome</translation>
    </message>
    <message>
        <source>Items Not Put Back in “%1”</source>
        <translation>Elementi non ripristinati in “%1”</translation>
    </message>
    <message>
        <source>These items in %1 could not be given their old names back:</source>
        <translation>Non è stato possibile ridare il vecchio nome a questi elementi in %1:</translation>
    </message>
    <message>
        <source>No item could be put back.</source>
        <translation>Non è stato possibile ripristinare alcun elemento.</translation>
    </message>
    <message>
        <source>%1 of %2 items could not be put back.</source>
        <translation>Non è stato possibile ripristinare %1 di %2 elementi.</translation>
    </message>
    <message>
        <source>No item could be renamed.</source>
        <translation>Non è stato possibile rinominare alcun elemento.</translation>
    </message>
    <message>
        <source>%1 of %2 items could not be renamed.</source>
        <translation>Non è stato possibile rinominare %1 di %2 elementi.</translation>
    </message>
    <message>
        <source>They stay in the undo journal: choose Undo again once the cause is put right.</source>
        <translation>Restano nel registro di annullamento: scegli di nuovo Annulla quando la causa è stata rimossa.</translation>
    </message>
</context>
<context>
    <name>SoftwareUpdateWindow</name>
    <message>
        <source>Software Update</source>
        <translation>Aggiornamento software</translation>
    </message>
    <message>
        <source>Your version:</source>
        <translation>La tua versione:</translation>
    </message>
    <message>
        <source>Current version:</source>
        <translation>Versione attuale:</translation>
    </message>
    <message>
        <source>&amp;Download Update</source>
        <translation>&amp;Scarica aggiornamento</translation>
    </message>
    <message>
        <source>&amp;Check Now</source>
        <translation>&amp;Controlla ora</translation>
    </message>
    <message>
        <source>&amp;Install…</source>
        <translation>&amp;Installa…</translation>
    </message>
    <message>
        <source>Open the downloaded package with the desktop&apos;s package installer</source>
        <translation>Apri il pacchetto scaricato con l&apos;installatore di pacchetti del desktop</translation>
    </message>
    <message>
        <source>No package installer could open “%1”: %2

Install it with a package manager, or in a terminal with:
sudo apt install &apos;%3&apos;</source>
        <translation>Nessun installatore di pacchetti ha potuto aprire “%1”: %2

Installalo con un gestore di pacchetti, o in un terminale con:
sudo apt install &apos;%3&apos;</translation>
    </message>
</context>
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>Folder</source>
        <comment>All other platforms</comment>
        <translation>Cartella</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <comment>All other platforms</comment>
        <translation>Collegamento</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Unità</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
</context>
</TS>
