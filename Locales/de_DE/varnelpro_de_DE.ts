<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>Headless</name>
    <message>
        <source>Usage: varnelpro -in=&lt;folder or file&gt; -out=&lt;folder&gt; [switches]
       varnelpro [switches] &lt;folder or file&gt; &lt;folder&gt;
Converts text files of any code page or Unicode form into one Unicode form.
</source>
        <translation>Aufruf: varnelpro -in=&lt;Ordner oder Datei&gt; -out=&lt;Ordner&gt; [Schalter]
        varnelpro [Schalter] &lt;Ordner oder Datei&gt; &lt;Ordner&gt;
Konvertiert Textdateien aus beliebigen Codepages oder Unicode-Formen in eine Unicode-Form.
</translation>
    </message>
    <message>
        <source>Switches start with '-' or '/'; values follow '=' or ':' (the long forms also take the next
argument: --in PATH). A switch given twice must have the same value; an unknown switch or
value stops the run. Exit status: 0 all files OK, 1 some files ended with a warning or an
error (or the run was stopped), 2 the run could not start (nothing was changed).
Run varnelpro without switches on a desktop to open the window.
</source>
        <translation>Schalter beginnen mit '-' oder '/'; Werte folgen nach '=' oder ':' (die langen Formen nehmen auch
das nächste Argument: --in PFAD). Ein doppelt angegebener Schalter muss denselben Wert haben; ein
unbekannter Schalter oder Wert beendet den Lauf. Exit-Status: 0 alle Dateien OK, 1 einige Dateien
endeten mit einer Warnung oder einem Fehler (oder der Lauf wurde angehalten), 2 der Lauf konnte
nicht starten (nichts wurde verändert).
Ohne Schalter auf einem Desktop gestartet, öffnet varnelpro das Fenster.
</translation>
    </message>
    <message>
        <source>number	short name	IANA name	group</source>
        <translation>Nummer	Kurzname	IANA-Name	Gruppe</translation>
    </message>
    <message>
        <source>unknown switch: %1 (-help lists the switches)</source>
        <translation>unbekannter Schalter: %1 (-help listet die Schalter auf)</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a number</source>
        <translation>%1: &quot;%2&quot; ist keine Zahl</translation>
    </message>
    <message>
        <source>%1: unknown value &quot;%2&quot;; one of: %3</source>
        <translation>%1: unbekannter Wert &quot;%2&quot;; erlaubt: %3</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a language name (letters, digits and _ - . @, as in de_DE.UTF-8)</source>
        <translation>%1: &quot;%2&quot; ist kein Sprachname (Buchstaben, Ziffern und _ - . @, etwa de_DE.UTF-8)</translation>
    </message>
    <message>
        <source>%1: unknown code page &quot;%2&quot; (--list-code-pages lists them)</source>
        <translation>%1: unbekannte Codepage &quot;%2&quot; (--list-code-pages listet sie auf)</translation>
    </message>
    <message>
        <source>%1 needs a value, as in %1=%2</source>
        <translation>%1 braucht einen Wert, etwa %1=%2</translation>
    </message>
    <message>
        <source>%1 takes no value: %2</source>
        <translation>%1 nimmt keinen Wert: %2</translation>
    </message>
    <message>
        <source>switch given twice with different values: %1 and %2</source>
        <translation>Schalter doppelt mit verschiedenen Werten angegeben: %1 und %2</translation>
    </message>
    <message>
        <source>switch given twice with different values: %1 and, in the command file %3, %2</source>
        <translation>Schalter doppelt mit verschiedenen Werten angegeben: %1 und, in der Befehlsdatei %3, %2</translation>
    </message>
    <message>
        <source>unexpected argument: %1 (give an input and an output, or use -in= and -out=)</source>
        <translation>unerwartetes Argument: %1 (Eingabe und Ausgabe angeben oder -in= und -out= verwenden)</translation>
    </message>
    <message>
        <source>%1: the command file does not exist: %2</source>
        <translation>%1: die Befehlsdatei existiert nicht: %2</translation>
    </message>
    <message>
        <source>%1: cannot read the command file: %2</source>
        <translation>%1: die Befehlsdatei kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1: the first line of the command file holds no switches: %2</source>
        <translation>%1: die erste Zeile der Befehlsdatei enthält keine Schalter: %2</translation>
    </message>
    <message>
        <source>%1: the first line of the command file is longer than %2 characters (-cmdfilemaxsize): %3</source>
        <translation>%1: die erste Zeile der Befehlsdatei ist länger als %2 Zeichen (-cmdfilemaxsize): %3</translation>
    </message>
    <message>
        <source>input folder or file (relative to the current folder); - reads standard input</source>
        <translation>Eingabeordner oder -datei (relativ zum aktuellen Ordner); - liest die Standardeingabe</translation>
    </message>
    <message>
        <source>output folder (mode FILE: output file); mirrors the input tree; - writes standard output</source>
        <translation>Ausgabeordner (Modus FILE: Ausgabedatei); bildet den Eingabebaum nach; - schreibt auf die Standardausgabe</translation>
    </message>
    <message>
        <source>outputs keep the input's permission bits and modification time (default yes)</source>
        <translation>Ausgaben behalten Zugriffsrechte und Änderungszeit der Eingabe (Standard yes)</translation>
    </message>
    <message>
        <source>the same as -keepmode=yes</source>
        <translation>dasselbe wie -keepmode=yes</translation>
    </message>
    <message>
        <source>the same as -keepmode=no</source>
        <translation>dasselbe wie -keepmode=no</translation>
    </message>
    <message>
        <source>include subfolders</source>
        <translation>Unterordner einbeziehen</translation>
    </message>
    <message>
        <source>include hidden files and folders</source>
        <translation>versteckte Dateien und Ordner einbeziehen</translation>
    </message>
    <message>
        <source>copy files that are not converted (binary, or of unknown encoding)</source>
        <translation>nicht konvertierte Dateien (binär oder in unbekannter Kodierung) kopieren</translation>
    </message>
    <message>
        <source>detect only: report each file's encoding, write nothing</source>
        <translation>nur erkennen: Kodierung jeder Datei melden, nichts schreiben</translation>
    </message>
    <message>
        <source>output form (default UTF8; UTF-16LE and utf-16le are the same)</source>
        <translation>Ausgabeform (Standard UTF8; UTF-16LE und utf-16le sind gleich)</translation>
    </message>
    <message>
        <source>write a byte order mark (default: no for UTF-8, yes for UTF-16 and UTF-32)</source>
        <translation>Byte-Order-Mark schreiben (Standard: no bei UTF-8, yes bei UTF-16 und UTF-32)</translation>
    </message>
    <message>
        <source>the same as -bom=yes</source>
        <translation>dasselbe wie -bom=yes</translation>
    </message>
    <message>
        <source>the same as -bom=no</source>
        <translation>dasselbe wie -bom=no</translation>
    </message>
    <message>
        <source>line endings (default: keep)</source>
        <translation>Zeilenenden (Standard: beibehalten)</translation>
    </message>
    <message>
        <source>read every file in this code page (number or name, e.g. 1251, KOI8-R) instead of detecting</source>
        <translation>jede Datei in dieser Codepage lesen (Nummer oder Name, z. B. 1251, KOI8-R) statt sie zu erkennen</translation>
    </message>
    <message>
        <source>list the code pages: number, short name, IANA name, group</source>
        <translation>die Codepages auflisten: Nummer, Kurzname, IANA-Name, Gruppe</translation>
    </message>
    <message>
        <source>repair UTF-8 that was encoded twice (through windows-1252)</source>
        <translation>doppelt (über windows-1252) kodiertes UTF-8 reparieren</translation>
    </message>
    <message>
        <source>only files matching these wildcards (quote them: '-wf=*.txt;*.csv')</source>
        <translation>nur Dateien, die auf diese Platzhalter passen (in Anführungszeichen: '-wf=*.txt;*.csv')</translation>
    </message>
    <message>
        <source>only files whose name matches this regular expression</source>
        <translation>nur Dateien, deren Name auf diesen regulären Ausdruck passt</translation>
    </message>
    <message>
        <source>FILE converts the single file -in into the file -out (default FOLDER)</source>
        <translation>FILE konvertiert die einzelne Datei -in in die Datei -out (Standard FOLDER)</translation>
    </message>
    <message>
        <source>write a report of every file</source>
        <translation>einen Bericht über jede Datei schreiben</translation>
    </message>
    <message>
        <source>report format (default CSV; JSON writes JSON Lines)</source>
        <translation>Berichtsformat (Standard CSV; JSON schreibt JSON Lines)</translation>
    </message>
    <message>
        <source>report encoding (default UTF8)</source>
        <translation>Kodierung des Berichts (Standard UTF8)</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not K/N (N at least 1, K from 0 to N-1)</source>
        <translation>%1: &quot;%2&quot; ist nicht K/N (N mindestens 1, K von 0 bis N-1)</translation>
    </message>
    <message>
        <source>CSV header row, JSON Lines header and summary lines (default yes); no: reports concatenate</source>
        <translation>CSV-Kopfzeile, JSON-Lines-Kopf- und Zusammenfassungszeile (Standard yes); no: Berichte lassen sich aneinanderhängen</translation>
    </message>
    <message>
        <source>the same as -exportheader=no</source>
        <translation>dasselbe wie -exportheader=no</translation>
    </message>
    <message>
        <source>take only slice K (0 to N-1) of the folder's files, chosen by path: N runs split a tree</source>
        <translation>nur Teil K (0 bis N-1) der Dateien des Ordners nehmen, nach Pfad gewählt: N Läufe teilen sich einen Baum</translation>
    </message>
    <message>
        <source>-shard splits the files of a folder, but the input is a file: %1</source>
        <translation>-shard teilt die Dateien eines Ordners, aber die Eingabe ist eine Datei: %1</translation>
    </message>
    <message>
        <source>an XML report always has its root element: -exportheader=no is for CSV and JSON Lines</source>
        <translation>ein XML-Bericht hat immer sein Wurzelelement: -exportheader=no gilt für CSV und JSON Lines</translation>
    </message>
    <message>
        <source>-shard splits the files of a folder, not a stream (-in=- or -out=-)</source>
        <translation>-shard teilt die Dateien eines Ordners, keinen Datenstrom (-in=- oder -out=-)</translation>
    </message>
    <message>
        <source>report byte order mark (default yes)</source>
        <translation>Byte-Order-Mark des Berichts (Standard yes)</translation>
    </message>
    <message>
        <source>read the switches from the first line of FILE</source>
        <translation>die Schalter aus der ersten Zeile von DATEI lesen</translation>
    </message>
    <message>
        <source>longest first line a command file may have (default 32768); a longer one is refused</source>
        <translation>längste erste Zeile, die eine Befehlsdatei haben darf (Standard 32768); eine längere wird abgelehnt</translation>
    </message>
    <message>
        <source>print only problems: no progress, no line per file, no summary</source>
        <translation>nur Probleme ausgeben: kein Fortschritt, keine Zeile je Datei, keine Zusammenfassung</translation>
    </message>
    <message>
        <source>a line per file also on a terminal (beside the progress bar)</source>
        <translation>eine Zeile je Datei auch im Terminal (neben dem Fortschrittsbalken)</translation>
    </message>
    <message>
        <source>language of the messages (de, de_DE; default: LANGUAGE, LC_ALL, LC_MESSAGES, LANG)</source>
        <translation>Sprache der Meldungen (de, de_DE; Standard: LANGUAGE, LC_ALL, LC_MESSAGES, LANG)</translation>
    </message>
    <message>
        <source>forget the window layout</source>
        <translation>die Fensteranordnung zurücksetzen</translation>
    </message>
    <message>
        <source>end after the start-up actions</source>
        <translation>nach den Startaktionen beenden</translation>
    </message>
    <message>
        <source>show this text</source>
        <translation>diesen Text anzeigen</translation>
    </message>
    <message>
        <source>show the program's name and version</source>
        <translation>Name und Version des Programms anzeigen</translation>
    </message>
    <message>
        <source>Files detected</source>
        <translation>Erkannte Dateien</translation>
    </message>
    <message>
        <source>Files found</source>
        <translation>Gefundene Dateien</translation>
    </message>
    <message>
        <source>Not processed</source>
        <translation>Nicht verarbeitet</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Stopped before the end.</source>
        <translation>Vor dem Ende angehalten.</translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>Wird angehalten...</translation>
    </message>
    <message>
        <source>Unreadable folders</source>
        <translation>Unlesbare Ordner</translation>
    </message>
    <message>
        <source>cannot read the input folder: %1</source>
        <translation>Eingabeordner kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>a JSON Lines report is always UTF-8 without BOM: leave out -exportenc</source>
        <translation>Ein JSON-Lines-Bericht ist immer UTF-8 ohne BOM: -exportenc weglassen</translation>
    </message>
    <message>
        <source>cannot write the export file: %1</source>
        <translation>Exportdatei kann nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>cannot write the summary</source>
        <translation>Die Zusammenfassung kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>export file is a folder: %1</source>
        <translation>Exportdatei ist ein Ordner: %1</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>unvollständig</translation>
    </message>
    <message>
        <source>input is neither a file nor a folder: %1</source>
        <translation>Eingabe ist weder Datei noch Ordner: %1</translation>
    </message>
    <message>
        <source>invalid regular expression: %1</source>
        <translation>ungültiger regulärer Ausdruck: %1</translation>
    </message>
    <message>
        <source>mode FILE converts one file, but the input is a folder: %1</source>
        <translation>Modus FILE konvertiert eine Datei, aber die Eingabe ist ein Ordner: %1</translation>
    </message>
    <message>
        <source>mode FILE writes one file, but the output names a folder: %1</source>
        <translation>Modus FILE schreibt eine Datei, aber die Ausgabe benennt einen Ordner: %1</translation>
    </message>
    <message>
        <source>no export file given</source>
        <translation>keine Exportdatei angegeben</translation>
    </message>
    <message>
        <source>no output file given</source>
        <translation>keine Ausgabedatei angegeben</translation>
    </message>
    <message>
        <source>output file is a folder: %1</source>
        <translation>Ausgabedatei ist ein Ordner: %1</translation>
    </message>
    <message>
        <source>output file is the input file: %1</source>
        <translation>Ausgabedatei ist die Eingabedatei: %1</translation>
    </message>
    <message>
        <source>output folder is a file: %1</source>
        <translation>Ausgabeordner ist eine Datei: %1</translation>
    </message>
    <message>
        <source>the session could not start</source>
        <translation>die Sitzung konnte nicht starten</translation>
    </message>
    <message>
        <source>Files converted</source>
        <translation>Konvertierte Dateien</translation>
    </message>
    <message>
        <source>Copied unconverted</source>
        <translation>Unkonvertiert kopiert</translation>
    </message>
    <message>
        <source>Skipped (binary)</source>
        <translation>Übersprungen (binär)</translation>
    </message>
    <message>
        <source>Warnings</source>
        <translation>Warnungen</translation>
    </message>
    <message>
        <source>Errors</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Bytes read</source>
        <translation>Gelesene Bytes</translation>
    </message>
    <message>
        <source>Bytes written</source>
        <translation>Geschriebene Bytes</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>no input folder given</source>
        <translation>kein Eingabeordner angegeben</translation>
    </message>
    <message>
        <source>input folder does not exist: %1</source>
        <translation>Eingabeordner existiert nicht: %1</translation>
    </message>
    <message>
        <source>no output folder given</source>
        <translation>kein Ausgabeordner angegeben</translation>
    </message>
    <message>
        <source>output folder is inside a file: %1</source>
        <translation>Ausgabeordner liegt innerhalb einer Datei: %1</translation>
    </message>
    <message>
        <source>cannot write to output folder: %1</source>
        <translation>Ausgabeordner ist nicht beschreibbar: %1</translation>
    </message>
    <message>
        <source>unknown code page: %1</source>
        <translation>unbekannte Codepage: %1</translation>
    </message>
    <message>
        <source>Usage</source>
        <translation>Aufruf</translation>
    </message>
    <message>
        <source>the output folder is the input folder: %1</source>
        <translation>der Ausgabeordner ist der Eingabeordner: %1</translation>
    </message>
    <message>
        <source>the input lies inside the output folder: %1</source>
        <translation>die Eingabe liegt im Ausgabeordner: %1</translation>
    </message>
    <message>
        <source>the export file is an input file: %1</source>
        <translation>die Exportdatei ist eine Eingabedatei: %1</translation>
    </message>
    <message>
        <source>the export file would be replaced by the output of %1</source>
        <translation>die Exportdatei würde durch die Ausgabe von %1 ersetzt</translation>
    </message>
    <message>
        <source>the output folder lies inside the input folder: it is left out of the walk, and a file in it is replaced where an input of the same name is converted</source>
        <translation>der Ausgabeordner liegt im Eingabeordner: er wird nicht durchsucht, und eine Datei darin wird ersetzt, wo eine gleichnamige Eingabe konvertiert wird</translation>
    </message>
    <message>
        <source>removed a temporary file left by an interrupted run: %1</source>
        <translation>eine von einem abgebrochenen Lauf hinterlassene temporäre Datei wurde entfernt: %1</translation>
    </message>
    <message>
        <source>Not files (left alone)</source>
        <translation>Keine Dateien (belassen)</translation>
    </message>
    <message>
        <source>Encoding not found</source>
        <translation>Kodierung nicht gefunden</translation>
    </message>
    <message>
        <source>files whose encoding could not be found were not converted: convert each with -mode=FILE -cp=NUMBER</source>
        <translation>Dateien, deren Kodierung nicht gefunden wurde, wurden nicht konvertiert: konvertieren Sie jede mit -mode=FILE -cp=NUMMER</translation>
    </message>
    <message>
        <source>the encoding of %1 could not be found: give its code page with -cp=NUMBER to convert it</source>
        <translation>die Kodierung von %1 wurde nicht gefunden: geben Sie ihre Codepage mit -cp=NUMMER an, um sie zu konvertieren</translation>
    </message>
    <message>
        <source>no report is written for standard input or output (-export)</source>
        <translation>für Standardeingabe oder -ausgabe wird kein Bericht geschrieben (-export)</translation>
    </message>
    <message>
        <source>-out=- writes one file's text, but the input is not a file: %1</source>
        <translation>-out=- schreibt den Text einer Datei, aber die Eingabe ist keine Datei: %1</translation>
    </message>
    <message>
        <source>(standard input)</source>
        <translation>(Standardeingabe)</translation>
    </message>
    <message>
        <source>cannot read standard input</source>
        <translation>Standardeingabe kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>binary data is not converted: %1</source>
        <translation>Binärdaten werden nicht konvertiert: %1</translation>
    </message>
    <message>
        <source>
Pipes and file modes:
  -in=-                 read the text from standard input (written to standard output
                        unless -out names a file)
  -out=-                write the converted text to standard output; messages go to
                        standard error
  -keepmode=yes|no      outputs keep the input's permission bits and modification time
                        (default yes); also --preserve and --no-preserve
</source>
        <translation>
Pipes und Dateirechte:
  -in=-                 den Text von der Standardeingabe lesen (auf die Standardausgabe
                        geschrieben, sofern -out keine Datei nennt)
  -out=-                den konvertierten Text auf die Standardausgabe schreiben; Meldungen
                        gehen auf die Standardfehlerausgabe
  -keepmode=yes|no      Ausgaben behalten Zugriffsrechte und Änderungszeit der Eingabe
                        (Standard: yes); auch --preserve und --no-preserve
</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>Language settings will take effect after you exit and restart Varnel</source>
        <translation>Die Spracheinstellungen werden wirksam, nachdem Sie Varnel beendet und neu gestartet haben</translation>
    </message>
    <message>
        <source>Prefer System Language</source>
        <translation>Systemsprache bevorzugen</translation>
    </message>
    <message>
        <source>Prefer system language</source>
        <translation>Systemsprache bevorzugen</translation>
    </message>
    <message>
        <source>Specify language</source>
        <translation>Sprache festlegen</translation>
    </message>
    <message>
        <source>Current Language:</source>
        <translation>Aktuelle Sprache:</translation>
    </message>
    <message>
        <source>Author / Translator:</source>
        <translation>Autor / Übersetzer:</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Layout has been reset</source>
        <translation>Das Layout wurde zurückgesetzt</translation>
    </message>
    <message>
        <source>no display for the window; to convert on the command line run: varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)</source>
        <translation>keine Anzeige für das Fenster; zum Konvertieren auf der Befehlszeile: varnelpro -in=ORDNER -out=ORDNER (-help zeigt die Schalter)</translation>
    </message>
    <message>
        <source>the window cannot be loaded (%1); to convert on the command line run: varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)</source>
        <translation>das Fenster kann nicht geladen werden (%1); zum Konvertieren auf der Befehlszeile: varnelpro -in=ORDNER -out=ORDNER (-help zeigt die Schalter)</translation>
    </message>
    <message>
        <source>the display &quot;%1&quot; cannot be opened; to convert on the command line run: varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)</source>
        <translation>die Anzeige &quot;%1&quot; kann nicht geöffnet werden; zum Konvertieren auf der Befehlszeile: varnelpro -in=ORDNER -out=ORDNER (-help zeigt die Schalter)</translation>
    </message>
    <message>
        <source>no language bundle for &quot;%1&quot;; English is used</source>
        <translation>kein Sprachpaket für &quot;%1&quot;; Englisch wird verwendet</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>die Standardausgabe kann nicht geschrieben werden: %1</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>Varnel Professional</source>
        <translation>Varnel Professional</translation>
    </message>
    <message>
        <source>Linux Edition</source>
        <translation>Linux-Ausgabe</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Filters</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>F&amp;olders</source>
        <translation>&amp;Ordner</translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>&amp;Filters</source>
        <translation>&amp;Filter</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message><source>&amp;About Varnel Professional...</source><translation>Ü&amp;ber Varnel Professional...</translation></message>
    <message><source>&amp;Continue Session</source><translation>Sitzung &amp;fortsetzen</translation></message>
    <message><source>&amp;Help</source><translation>&amp;Hilfe</translation></message>
    <message><source>&amp;Language</source><translation>&amp;Sprache</translation></message>
    <message><source>&amp;Operation</source><translation>&amp;Vorgang</translation></message>
    <message><source>&amp;Pause</source><translation>&amp;Anhalten</translation></message>
    <message><source>&amp;Preferences...</source><translation>&amp;Einstellungen...</translation></message>
    <message><source>&amp;Stop</source><translation>&amp;Stoppen</translation></message>
    <message><source>File View</source><translation>Dateiansicht</translation></message>
    <message><source>Files: %1</source><translation>Dateien: %1</translation></message>
    <message><source>Ready</source><translation>Bereit</translation></message>
    <message><source>Session View</source><translation>Sitzungsansicht</translation></message>
    <message><source>Stop the session and quit the program?</source><translation>Die Sitzung beenden und das Programm schließen?</translation></message>
    <message><source>User Manual</source><translation>Benutzerhandbuch</translation></message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>FolderView</name>
    <message>
        <source>Unable to open this folder.</source>
        <translation>Dieser Ordner kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>&amp;Detect</source>
        <translation>&amp;Erkennen</translation>
    </message>
    <message>
        <source>Recursively Detect</source>
        <translation>Rekursiv erkennen</translation>
    </message>
    <message>
        <source>&amp;Convert</source>
        <translation>&amp;Konvertieren</translation>
    </message>
    <message>
        <source>Recursively Convert</source>
        <translation>Rekursiv konvertieren</translation>
    </message>
    <message>
        <source>Convert to...</source>
        <translation>Konvertieren nach...</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>&amp;Properties...</source>
        <translation>&amp;Eigenschaften...</translation>
    </message>
</context>
<context>
    <name>ConvertDialog</name>
    <message>
        <source>UTF-8</source>
        <translation>UTF-8</translation>
    </message>
    <message>
        <source>UTF-16 LE</source>
        <translation>UTF-16 LE</translation>
    </message>
    <message>
        <source>UTF-16 BE</source>
        <translation>UTF-16 BE</translation>
    </message>
    <message>
        <source>UTF-32 LE</source>
        <translation>UTF-32 LE</translation>
    </message>
    <message>
        <source>UTF-32 BE</source>
        <translation>UTF-32 BE</translation>
    </message>
    <message>
        <source>UCS4-3412</source>
        <translation>UCS4-3412</translation>
    </message>
    <message>
        <source>UCS4-2143</source>
        <translation>UCS4-2143</translation>
    </message>
    <message>
        <source>No Change</source>
        <translation>Keine Änderung</translation>
    </message>
    <message>
        <source>CRLF (Windows)</source>
        <translation>CRLF (Windows)</translation>
    </message>
    <message>
        <source>CR Only (Macintosh)</source>
        <translation>Nur CR (Macintosh)</translation>
    </message>
    <message>
        <source>LF Only (Unix/Linux)</source>
        <translation>Nur LF (Unix/Linux)</translation>
    </message>
    <message>
        <source>Auto Detect</source>
        <translation>Automatisch erkennen</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>(Multiple Files)</source>
        <translation>(Mehrere Dateien)</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Output Folder (Will be created if does not exist)</source>
        <translation>Ausgabeordner (wird erstellt, falls er nicht existiert)</translation>
    </message>
    <message>
        <source>Copy unconverted files</source>
        <translation>Nicht konvertierte Dateien kopieren</translation>
    </message>
    <message>
        <source>Write BOM</source>
        <translation>BOM schreiben</translation>
    </message>
    <message>
        <source>Process hidden files</source>
        <translation>Versteckte Dateien verarbeiten</translation>
    </message>
    <message>
        <source>Recursive</source>
        <translation>Rekursiv</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Wildcard</source>
        <translation>Platzhalter</translation>
    </message>
    <message>
        <source>Regular Expression</source>
        <translation>Regulärer Ausdruck</translation>
    </message>
    <message>
        <source>Input Codepage</source>
        <translation>Eingabe-Codepage</translation>
    </message>
    <message>
        <source>Output encoding</source>
        <translation>Ausgabekodierung</translation>
    </message>
    <message>
        <source>Return Type</source>
        <translation>Zeilenumbruch</translation>
    </message>
    <message>
        <source>File Name Filter</source>
        <translation>Dateinamenfilter</translation>
    </message>
    <message>
        <source>Profiles</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Save current settings...</source>
        <translation>Aktuelle Einstellungen speichern...</translation>
    </message>
    <message>
        <source>Manage profiles...</source>
        <translation>Profile verwalten...</translation>
    </message>
    <message>
        <source>Save current settings</source>
        <translation>Aktuelle Einstellungen speichern</translation>
    </message>
    <message>
        <source>Select Output Folder</source>
        <translation>Ausgabeordner auswählen</translation>
    </message>
    <message>
        <source>Please enter an output folder.</source>
        <translation>Bitte geben Sie einen Ausgabeordner ein.</translation>
    </message>
    <message>
        <source>Please enter the full path of the output folder, starting with &quot;/&quot;.</source>
        <translation>Bitte geben Sie den vollständigen Pfad des Ausgabeordners ein, beginnend mit &quot;/&quot;.</translation>
    </message>
    <message>
        <source>The output folder is not a folder:
%s</source>
        <translation>Der Ausgabeordner ist kein Ordner:
%s</translation>
    </message>
    <message>
        <source>Converting the input folder to itself will cause write errors and damage to original file. Please double check the output folder before conversion.</source>
        <translation>Das Konvertieren des Eingabeordners in sich selbst verursacht Schreibfehler und beschädigt die Originaldateien. Bitte überprüfen Sie den Ausgabeordner vor der Konvertierung.</translation>
    </message>
    <message>
        <source>Files cannot be written to input folder. Please select another output folder.

The input folder is:
%s

The output folder you have selected is:
%s</source>
        <translation>Dateien können nicht in den Eingabeordner geschrieben werden. Bitte wählen Sie einen anderen Ausgabeordner.

Der Eingabeordner ist:
%s

Der gewählte Ausgabeordner ist:
%s</translation>
    </message>
    <message>
        <source>The regular expression is not valid:
%s</source>
        <translation>Der reguläre Ausdruck ist ungültig:
%s</translation>
    </message>
    <message>
        <source>Recursively Convert to</source>
        <translation>Rekursiv konvertieren nach</translation>
    </message>
    <message>
        <source>&amp;Convert to</source>
        <translation>&amp;Konvertieren nach</translation>
    </message>
    <message>
        <source>Confirm output folder</source>
        <translation>Ausgabeordner bestätigen</translation>
    </message>
    <message>
        <source>The output folder is not empty:</source>
        <translation>Der Ausgabeordner ist nicht leer:</translation>
    </message>
    <message>
        <source>Detect only</source>
        <translation>Nur erkennen</translation>
    </message>
    <message>
        <source>Find the files and detect their encodings without writing anything.</source>
        <translation>Die Dateien suchen und ihre Kodierung erkennen, ohne etwas zu schreiben.</translation>
    </message>
    <message>
        <source>Select another output folder</source>
        <translation>Anderen Ausgabeordner wählen</translation>
    </message>
    <message>
        <source>Go back and choose a different folder.</source>
        <translation>Zurückgehen und einen anderen Ordner wählen.</translation>
    </message>
    <message>
        <source>Proceed anyway</source>
        <translation>Trotzdem fortfahren</translation>
    </message>
    <message>
        <source>Write into this folder; files of the same name are replaced.</source>
        <translation>In diesen Ordner schreiben; gleichnamige Dateien werden ersetzt.</translation>
    </message>
    <message>
        <source>Make a safe subfolder for output</source>
        <translation>Sicheren Unterordner für die Ausgabe anlegen</translation>
    </message>
    <message>
        <source>Create the new folder &quot;%s&quot; in it and write there.</source>
        <translation>Darin den neuen Ordner &quot;%s&quot; anlegen und dorthin schreiben.</translation>
    </message>
    <message>
        <source>The folder could not be created:
%s</source>
        <translation>Der Ordner konnte nicht angelegt werden:
%s</translation>
    </message>
</context>
<context>
    <name>Profiles</name>
    <message>
        <source>The profiles could not be saved.</source>
        <translation>Die Profile konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Profile name cannot be empty.</source>
        <translation>Der Profilname darf nicht leer sein.</translation>
    </message>
    <message>
        <source>This profile name is reserved. Please enter another name.</source>
        <translation>Dieser Profilname ist reserviert. Bitte geben Sie einen anderen Namen ein.</translation>
    </message>
    <message>
        <source>Overwrite profile [%s]?</source>
        <translation>Profil [%s] überschreiben?</translation>
    </message>
    <message>
        <source>Duplicated profile name. Please enter a different profile name.</source>
        <translation>Doppelter Profilname. Bitte geben Sie einen anderen Profilnamen ein.</translation>
    </message>
    <message>
        <source>&amp;Profile name:</source>
        <translation>&amp;Profilname:</translation>
    </message>
    <message>
        <source>Manage Profiles</source>
        <translation>Profile verwalten</translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation>&amp;Umbenennen...</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation>Nach &amp;oben</translation>
    </message>
    <message>
        <source>Move D&amp;own</source>
        <translation>Nach u&amp;nten</translation>
    </message>
    <message>
        <source>Rename Profile</source>
        <translation>Profil umbenennen</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>The language setting could not be saved:</source>
        <translation>Die Spracheinstellung konnte nicht gespeichert werden:</translation>
    </message>
</context>
<context>
    <name>Preferences</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Default Settings</source>
        <translation>Standardeinstellungen</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Erweitert</translation>
    </message>
    <message>
        <source>Miscellaneous</source>
        <translation>Verschiedenes</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Range: 1..16. Recommended: %d. Or 0 for auto determination</source>
        <translation>Bereich: 1..16. Empfohlen: %d. Oder 0 für automatische Bestimmung</translation>
    </message>
    <message>
        <source>Allow binary list accelerated detection</source>
        <translation>Beschleunigte Erkennung über die Binärliste erlauben</translation>
    </message>
    <message>
        <source>Use codepage GB18030 instead of codepage GB2312</source>
        <translation>Codepage GB18030 statt Codepage GB2312 verwenden</translation>
    </message>
    <message>
        <source>Use Consolidated Buffer</source>
        <translation>Gemeinsamen Puffer verwenden</translation>
    </message>
    <message>
        <source>Converter Threads</source>
        <translation>Konverter-Threads</translation>
    </message>
    <message>
        <source>Chunk Size (in Byte)</source>
        <translation>Blockgröße (in Byte)</translation>
    </message>
    <message>
        <source>Sample Size (in MB)</source>
        <translation>Stichprobengröße (in MB)</translation>
    </message>
    <message>
        <source>Read Buffer</source>
        <translation>Lesepuffer</translation>
    </message>
    <message>
        <source>Write Buffer</source>
        <translation>Schreibpuffer</translation>
    </message>
    <message>
        <source>Maximum preview size (in KB)</source>
        <translation>Maximale Vorschaugröße (in KB)</translation>
    </message>
    <message>
        <source>Range: 1..8192. Default: 1</source>
        <translation>Bereich: 1..8192. Standard: 1</translation>
    </message>
    <message>
        <source>The settings could not be saved.</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>AssignCodepage</name>
    <message>
        <source>Assign Codepage</source>
        <translation>Codepage zuweisen</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
    <message>
        <source>Choose the codepage the file is written in. The preview shows the file read in the selected codepage.</source>
        <translation>Wählen Sie die Codepage, in der die Datei geschrieben ist. Die Vorschau zeigt die Datei in der gewählten Codepage gelesen.</translation>
    </message>
    <message>
        <source>All Supported Codepages</source>
        <translation>Alle unterstützten Codepages</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Select a codepage to preview the file in it.</source>
        <translation>Wählen Sie eine Codepage, um die Datei darin anzusehen.</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>Die Datei kann nicht gelesen werden.</translation>
    </message>
</context>
<context>
    <name>Preview</name>
    <message>
        <source>No file selected.</source>
        <translation>Keine Datei ausgewählt.</translation>
    </message>
    <message>
        <source>The output is empty or currently unavailable.</source>
        <translation>Die Ausgabe ist leer oder zurzeit nicht verfügbar.</translation>
    </message>
    <message>
        <source>Output file: %1</source>
        <translation>Ausgabedatei: %1</translation>
    </message>
    <message>
        <source>Input file: %1</source>
        <translation>Eingabedatei: %1</translation>
    </message>
    <message>
        <source>This file is binary; it has no text to preview.</source>
        <translation>Diese Datei ist binär; sie hat keinen Text für die Vorschau.</translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>Die Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Only the first %1 KiB are shown.</source>
        <translation>Nur die ersten %1 KiB werden angezeigt.</translation>
    </message>
</context>
<context>
    <name>Details</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>Property</source>
        <translation>Eigenschaft</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>No file selected.</source>
        <translation>Keine Datei ausgewählt.</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Codepage</source>
        <translation>Codepage</translation>
    </message>
    <message>
        <source>Not detected yet</source>
        <translation>Noch nicht erkannt</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Language Group</source>
        <translation>Sprachgruppe</translation>
    </message>
    <message>
        <source>Confidence</source>
        <translation>Sicherheit</translation>
    </message>
    <message>
        <source>BOM</source>
        <translation>BOM</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Replaced Characters</source>
        <translation>Ersetzte Zeichen</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
    <message>
        <source>Input Size</source>
        <translation>Eingabegröße</translation>
    </message>
    <message>
        <source>Output Size</source>
        <translation>Ausgabegröße</translation>
    </message>
</context>
<context>
    <name>Shell</name>
    <message>
        <source>Varnel Professional</source>
        <translation>Varnel Professional</translation>
    </message>
    <message>
        <source>Unable to open this folder.</source>
        <translation>Dieser Ordner kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Unable to open this file.</source>
        <translation>Diese Datei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>This file is a program. It is shown in its folder instead of being run.</source>
        <translation>Diese Datei ist ein Programm. Sie wird in ihrem Ordner angezeigt, statt ausgeführt zu werden.</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Properties of %1</source>
        <translation>Eigenschaften von %1</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Special file</source>
        <translation>Spezialdatei</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Accessed</source>
        <translation>Letzter Zugriff</translation>
    </message>
    <message>
        <source>Created</source>
        <translation>Erstellt</translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation>Berechtigungen</translation>
    </message>
    <message>
        <source>Owner</source>
        <translation>Besitzer</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>Tray</name>
    <message>
        <source>Show Main Window</source>
        <translation>Hauptfenster anzeigen</translation>
    </message>
    <message>
        <source>Varnel Professional</source>
        <translation>Varnel Professional</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Converting: %1% (%2 of %3)</source>
        <translation>Konvertiere: %1% (%2 von %3)</translation>
    </message>
    <message>
        <source>Detecting: %1% (%2 of %3)</source>
        <translation>Erkenne: %1% (%2 von %3)</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
</context>
<context>
    <name>Help</name>
    <message>
        <source>The user manual is not installed:
%1</source>
        <translation>Das Benutzerhandbuch ist nicht installiert:
%1</translation>
    </message>
    <message>
        <source>Unable to open the user manual.</source>
        <translation>Das Benutzerhandbuch kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>About Varnel Professional</source>
        <translation>Über Varnel Professional</translation>
    </message>
    <message>
        <source>Varnel Professional %1</source>
        <translation>Varnel Professional %1</translation>
    </message>
    <message>
        <source>Converts batches of text files from legacy codepages into one Unicode form.

Copyright © Quillmark. All rights reserved.</source>
        <translation>Konvertiert ganze Stapel von Textdateien aus älteren Codepages in eine Unicode-Form.

Copyright © Quillmark. Alle Rechte vorbehalten.</translation>
    </message>
</context>
<context>
    <name>Filters</name>
    <message>
        <source>Binary or Unknown</source>
        <translation>Binär oder unbekannt</translation>
    </message>
    <message>
        <source>Needs attention</source>
        <translation>Zu prüfen</translation>
    </message>
    <message>
        <source>Warnings, errors, unsure detections, unknown text, replaced characters and double-encoded text</source>
        <translation>Warnungen, Fehler, unsichere Erkennungen, unbekannter Text, ersetzte Zeichen und doppelt kodierter Text</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Converted</source>
        <translation>Konvertiert</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Not Determined</source>
        <translation>Nicht bestimmt</translation>
    </message>
    <message>
        <source>BOM</source>
        <translation>BOM</translation>
    </message>
    <message>
        <source>With BOM</source>
        <translation>Mit BOM</translation>
    </message>
    <message>
        <source>Without BOM</source>
        <translation>Ohne BOM</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <source>Wildcards, separated by ;</source>
        <translation>Platzhalter, getrennt durch ;</translation>
    </message>
    <message>
        <source>Codepage</source>
        <translation>Codepage</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>Anzahl</translation>
    </message>
    <message>
        <source>Check All</source>
        <translation>Alle anhaken</translation>
    </message>
    <message>
        <source>Uncheck All</source>
        <translation>Keine anhaken</translation>
    </message>
    <message>
        <source>Clear Filters</source>
        <translation>Filter löschen</translation>
    </message>
    <message>
        <source>Showing %1 of %2 files</source>
        <translation>%1 von %2 Dateien angezeigt</translation>
    </message>
</context>
<context>
    <name>SessionView</name>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Codepage</source>
        <translation>Codepage</translation>
    </message>
    <message>
        <source>BOM</source>
        <translation>BOM</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Leerlauf</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Gestartet</translation>
    </message>
    <message>
        <source>%d%%</source>
        <translation>%d%%</translation>
    </message>
    <message>
        <source>Retrying</source>
        <translation>Wiederholung</translation>
    </message>
    <message>
        <source>Converted</source>
        <translation>Konvertiert</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Not Supported</source>
        <translation>Nicht unterstützt</translation>
    </message>
    <message>
        <source>Write Error</source>
        <translation>Schreibfehler</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Conversion Error</source>
        <translation>Konvertierungsfehler</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>The session cannot be resumed after stopping. Would you like to stop the session now?</source>
        <translation>Die Sitzung kann nach dem Beenden nicht fortgesetzt werden. Möchten Sie die Sitzung jetzt beenden?</translation>
    </message>
    <message>
        <source>Session View</source>
        <translation>Sitzungsansicht</translation>
    </message>
    <message>
        <source>Session View (Converting: %d%%)</source>
        <translation>Sitzungsansicht (Konvertierung: %d%%)</translation>
    </message>
    <message>
        <source>Session View (Detecting: %d%%)</source>
        <translation>Sitzungsansicht (Erkennung: %d%%)</translation>
    </message>
    <message>
        <source>Session View (Paused: %d%%)</source>
        <translation>Sitzungsansicht (Angehalten: %d%%)</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Converting: %d%% (%d of %d)</source>
        <translation>Konvertierung: %d%% (%d von %d)</translation>
    </message>
    <message>
        <source>Detecting: %d%% (%d of %d)</source>
        <translation>Erkennung: %d%% (%d von %d)</translation>
    </message>
    <message>
        <source>Open output location</source>
        <translation>Ausgabeort öffnen</translation>
    </message>
    <message>
        <source>Open input location</source>
        <translation>Eingabeort öffnen</translation>
    </message>
    <message>
        <source>Execute output file</source>
        <translation>Ausgabedatei ausführen</translation>
    </message>
    <message>
        <source>Execute input file</source>
        <translation>Eingabedatei ausführen</translation>
    </message>
    <message>
        <source>Detail...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Properties...</source>
        <translation>Eigenschaften...</translation>
    </message>
    <message>
        <source>Accept result</source>
        <translation>Ergebnis übernehmen</translation>
    </message>
    <message>
        <source>Make correction...</source>
        <translation>Korrigieren...</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>Liste exportieren</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
</context>
<context>
    <name>FileView</name>
    <message>
        <source>Confidence</source>
        <translation>Sicherheit</translation>
    </message>
    <message>
        <source>Please wait</source>
        <translation>Bitte warten</translation>
    </message>
    <message>
        <source>File View is busy</source>
        <translation>Die Dateiansicht ist beschäftigt</translation>
    </message>
    <message>
        <source>Please wait for it to finish converting the files before changing the current folder.</source>
        <translation>Bitte warten Sie, bis die Dateien fertig konvertiert sind, bevor Sie den aktuellen Ordner wechseln.</translation>
    </message>
    <message>
        <source>Cancel these files</source>
        <translation>Diese Dateien abbrechen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Convert here</source>
        <translation>Hier konvertieren</translation>
    </message>
    <message>
        <source>Convert to...</source>
        <translation>Konvertieren nach...</translation>
    </message>
    <message>
        <source>Open file location</source>
        <translation>Dateiort öffnen</translation>
    </message>
    <message>
        <source>Open/Execute</source>
        <translation>Öffnen/Ausführen</translation>
    </message>
    <message>
        <source>Details...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>Properties...</source>
        <translation>Eigenschaften...</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>Liste exportieren</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
</context>
<context>
    <name>ControlBar</name>
    <message>
        <source>Pause</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Leerlauf</translation>
    </message>
    <message>
        <source>Initializing</source>
        <translation>Initialisierung</translation>
    </message>
    <message>
        <source>Please wait...</source>
        <translation>Bitte warten...</translation>
    </message>
    <message>
        <source>Converting: %d%% (%d of %d)</source>
        <translation>Konvertierung: %d%% (%d von %d)</translation>
    </message>
    <message>
        <source>Detecting: %d%% (%d of %d)</source>
        <translation>Erkennung: %d%% (%d von %d)</translation>
    </message>
    <message>
        <source>Files Processed: %d of %d (%d%% Processed) Copied: %d Converted: %d Warnings: %d Errors: %d</source>
        <translation>Dateien verarbeitet: %d von %d (%d%% verarbeitet) Kopiert: %d Konvertiert: %d Warnungen: %d Fehler: %d</translation>
    </message>
    <message>
        <source>Files Found: %d Remaining: %d Copied: %d Converted: %d Warnings: %d Errors: %d</source>
        <translation>Dateien gefunden: %d Verbleibend: %d Kopiert: %d Konvertiert: %d Warnungen: %d Fehler: %d</translation>
    </message>
    <message>
        <source>Paused (%d%%)</source>
        <translation>Angehalten (%d%%)</translation>
    </message>
    <message>
        <source>Conversion Cancelled</source>
        <translation>Konvertierung abgebrochen</translation>
    </message>
    <message>
        <source>Conversion Finished</source>
        <translation>Konvertierung abgeschlossen</translation>
    </message>
    <message>
        <source>Detection Cancelled</source>
        <translation>Erkennung abgebrochen</translation>
    </message>
    <message>
        <source>Detection Finished</source>
        <translation>Erkennung abgeschlossen</translation>
    </message>
    <message>
        <source>Folders that could not be read: %d</source>
        <translation>Ordner, die nicht gelesen werden konnten: %d</translation>
    </message>
    <message>
        <source>%d file(s) saved in:</source>
        <translation>%d Datei(en) gespeichert in:</translation>
    </message>
    <message>
        <source>No file was converted or copied.</source>
        <translation>Es wurde keine Datei konvertiert oder kopiert.</translation>
    </message>
</context>
<context>
    <name>ListExport</name>
    <message>
        <source>CSV (UTF-8)</source>
        <translation>CSV (UTF-8)</translation>
    </message>
    <message>
        <source>CSV (UTF-16 LE)</source>
        <translation>CSV (UTF-16 LE)</translation>
    </message>
    <message>
        <source>CSV (UTF-16 BE)</source>
        <translation>CSV (UTF-16 BE)</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>Liste exportieren</translation>
    </message>
    <message>
        <source>The list could not be saved as &quot;%s&quot;: %s</source>
        <translation>Die Liste konnte nicht als &quot;%s&quot; gespeichert werden: %s</translation>
    </message>
    <message>
        <source>the file could not be written</source>
        <translation>die Datei konnte nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>Reasons</name>
    <message>
        <source>%1 U+FFFD characters in the text: something replaced characters before this conversion</source>
        <translation>%1 U+FFFD-Zeichen im Text: schon vor dieser Konvertierung wurden Zeichen ersetzt</translation>
    </message>
    <message>
        <source>bytes the code page does not cover, the first at byte offset %1: check the code page</source>
        <translation>Bytes, die die Codepage nicht abdeckt, das erste bei Byte-Offset %1: Codepage prüfen</translation>
    </message>
    <message>
        <source>%1 characters could not be decoded or written and were replaced by U+FFFD</source>
        <translation>%1 Zeichen konnten nicht dekodiert oder geschrieben werden und wurden durch U+FFFD ersetzt</translation>
    </message>
    <message>
        <source>%1 invisible control characters (U+0080 to U+009F) in the text: check the code page</source>
        <translation>%1 unsichtbare Steuerzeichen (U+0080 bis U+009F) im Text: Codepage prüfen</translation>
    </message>
    <message>
        <source>a folder on the way to the output file is a symbolic link: not followed</source>
        <translation>ein Ordner auf dem Weg zur Ausgabedatei ist eine symbolische Verknüpfung: nicht verfolgt</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>cannot be reached: %1</source>
        <translation>nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>cannot create the output file</source>
        <translation>die Ausgabedatei kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>cannot create the output folder: %1</source>
        <translation>der Ausgabeordner kann nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>cannot move the output file into place</source>
        <translation>die Ausgabedatei kann nicht an ihren Platz verschoben werden</translation>
    </message>
    <message>
        <source>cannot open the input file</source>
        <translation>die Eingabedatei kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>cannot read the folder: %1</source>
        <translation>der Ordner kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>code page %1 cannot be converted here</source>
        <translation>Codepage %1 kann hier nicht konvertiert werden</translation>
    </message>
    <message>
        <source>folder already searched under another path (a link): not searched again</source>
        <translation>Ordner schon unter einem anderen Pfad durchsucht (eine Verknüpfung): nicht noch einmal durchsucht</translation>
    </message>
    <message>
        <source>internal error</source>
        <translation>interner Fehler</translation>
    </message>
    <message>
        <source>internal error: %1</source>
        <translation>interner Fehler: %1</translation>
    </message>
    <message>
        <source>no code page is assigned and detection is off</source>
        <translation>keine Codepage zugewiesen und die Erkennung ist aus</translation>
    </message>
    <message>
        <source>no output file given</source>
        <translation>keine Ausgabedatei angegeben</translation>
    </message>
    <message>
        <source>not a regular file (%1): left alone</source>
        <translation>keine normale Datei (%1): nicht angerührt</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>kein Speicher mehr</translation>
    </message>
    <message>
        <source>reading the input file failed</source>
        <translation>das Lesen der Eingabedatei ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>symbolic link loop</source>
        <translation>Schleife symbolischer Verknüpfungen</translation>
    </message>
    <message>
        <source>symbolic link to a missing target</source>
        <translation>symbolische Verknüpfung auf ein fehlendes Ziel</translation>
    </message>
    <message>
        <source>text in an encoding that could not be found: not converted</source>
        <translation>Text in einer Kodierung, die nicht gefunden wurde: nicht konvertiert</translation>
    </message>
    <message>
        <source>the code page detection is unsure</source>
        <translation>die Erkennung der Codepage ist unsicher</translation>
    </message>
    <message>
        <source>the detected code page reads some bytes as invisible control characters: check the code page</source>
        <translation>die erkannte Codepage liest einige Bytes als unsichtbare Steuerzeichen: Codepage prüfen</translation>
    </message>
    <message>
        <source>the file changed while it was converted (%1 bytes at the start, %2 at the end): the output holds what was read</source>
        <translation>die Datei hat sich während der Konvertierung geändert (%1 Bytes am Anfang, %2 am Ende): die Ausgabe enthält, was gelesen wurde</translation>
    </message>
    <message>
        <source>the file changed while it was copied (%1 bytes at the start, %2 at the end): the copy holds what was read</source>
        <translation>die Datei hat sich während des Kopierens geändert (%1 Bytes am Anfang, %2 am Ende): die Kopie enthält, was gelesen wurde</translation>
    </message>
    <message>
        <source>the file could not be read</source>
        <translation>die Datei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>the output file is the input file itself</source>
        <translation>die Ausgabedatei ist die Eingabedatei selbst</translation>
    </message>
    <message>
        <source>the output file lies outside the output folder</source>
        <translation>die Ausgabedatei liegt außerhalb des Ausgabeordners</translation>
    </message>
    <message>
        <source>the output path is a folder</source>
        <translation>der Ausgabepfad ist ein Ordner</translation>
    </message>
    <message>
        <source>the text looks encoded as UTF-8 twice (Ã© for é): converted as it is</source>
        <translation>der Text sieht zweimal als UTF-8 kodiert aus (Ã© für é): unverändert konvertiert</translation>
    </message>
    <message>
        <source>the text was encoded as UTF-8 twice and has been repaired</source>
        <translation>der Text war zweimal als UTF-8 kodiert und wurde repariert</translation>
    </message>
    <message>
        <source>writing the output file failed</source>
        <translation>das Schreiben der Ausgabedatei ist fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>%1 elapsed</source>
        <translation>%1 vergangen</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>noch %1</translation>
    </message>
    <message>
        <source>%1 files/s</source>
        <translation>%1 Dateien/s</translation>
    </message>
    <message>
        <source>Converted</source>
        <translation>Konvertiert</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
    <message>
        <source>Binary</source>
        <translation>Binär</translation>
    </message>
    <message>
        <source>Detected</source>
        <translation>Erkannt</translation>
    </message>
    <message>
        <source>Unchanged</source>
        <translation>Unverändert</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Not Supported</source>
        <translation>Nicht unterstützt</translation>
    </message>
    <message>
        <source>Write Error</source>
        <translation>Schreibfehler</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Conversion Error</source>
        <translation>Konvertierungsfehler</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Job setting &quot;%1&quot; %2 is out of range (%3 to %4); %5 is used.</source>
        <translation>Auftragseinstellung &quot;%1&quot; %2 liegt außerhalb des Bereichs (%3 bis %4); %5 wird verwendet.</translation>
    </message>
    <message>
        <source>The current settings</source>
        <translation>Die aktuellen Einstellungen</translation>
    </message>
    <message>
        <source>Profile [%1]</source>
        <translation>Profil [%1]</translation>
    </message>
    <message>
        <source>its size cannot be read</source>
        <translation>ihre Größe kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; does not exist</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; existiert nicht</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; cannot be read (%2)</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; kann nicht gelesen werden (%2)</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; is larger than %2 MiB and is not read</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; ist größer als %2 MiB und wird nicht gelesen</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; is empty</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; ist leer</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; holds no XML element</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; enthält kein XML-Element</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; is not well-formed XML (%2, line %3)</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; ist kein wohlgeformtes XML (%2, Zeile %3)</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; has no &quot;varnel&quot; root element</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; hat kein Wurzelelement &quot;varnel&quot;</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; holds no settings for version %2 nor for &quot;*&quot;</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; enthält weder Einstellungen für Version %2 noch für &quot;*&quot;</translation>
    </message>
    <message>
        <source>%1: input code page &quot;%2&quot; is not available; automatic detection is used.</source>
        <translation>%1: Eingabe-Codepage &quot;%2&quot; ist nicht verfügbar; die automatische Erkennung wird verwendet.</translation>
    </message>
    <message>
        <source>%1: output text format &quot;%2&quot; is unknown; UTF8 is used.</source>
        <translation>%1: Ausgabetextformat &quot;%2&quot; ist unbekannt; UTF8 wird verwendet.</translation>
    </message>
    <message>
        <source>%1: return type &quot;%2&quot; is unknown; NOCHANGE is used.</source>
        <translation>%1: Zeilenendetyp &quot;%2&quot; ist unbekannt; NOCHANGE wird verwendet.</translation>
    </message>
    <message>
        <source>Job setting &quot;%1&quot; &quot;%2&quot; is no number; %3 is used.</source>
        <translation>Auftragseinstellung &quot;%1&quot; &quot;%2&quot; ist keine Zahl; %3 wird verwendet.</translation>
    </message>
    <message>
        <source>the folder &quot;%1&quot; cannot be created</source>
        <translation>der Ordner &quot;%1&quot; kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>cannot create &quot;%1&quot; (%2)</source>
        <translation>&quot;%1&quot; kann nicht angelegt werden (%2)</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot; (%2)</source>
        <translation>&quot;%1&quot; kann nicht geschrieben werden (%2)</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot;</source>
        <translation>&quot;%1&quot; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>cannot keep the old file as &quot;%1&quot; (%2)</source>
        <translation>die alte Datei kann nicht als &quot;%1&quot; aufbewahrt werden (%2)</translation>
    </message>
    <message>
        <source>cannot move &quot;%1&quot; into place (%2)</source>
        <translation>&quot;%1&quot; kann nicht an seinen Platz verschoben werden (%2)</translation>
    </message>
    <message>
        <source>%1; it is not replaced and nothing was saved.</source>
        <translation>%1; sie wird nicht ersetzt, und nichts wurde gespeichert.</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; was not saved: %2.</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; wurde nicht gespeichert: %2.</translation>
    </message>
    <message>
        <source>%1; it was kept as &quot;%2&quot; and a new file was written.</source>
        <translation>%1; sie wurde als &quot;%2&quot; aufbewahrt, und eine neue Datei wurde geschrieben.</translation>
    </message>
    <message>
        <source>%1; the defaults are used.</source>
        <translation>%1; die Standardwerte werden verwendet.</translation>
    </message>
    <message>
        <source>Preference &quot;previewSizeLimit&quot; &quot;%1&quot; is no number; it stays unset.</source>
        <translation>Einstellung &quot;previewSizeLimit&quot; &quot;%1&quot; ist keine Zahl; sie bleibt ungesetzt.</translation>
    </message>
    <message>
        <source>Preference &quot;previewSizeLimit&quot; &quot;%1&quot; is out of range (%2 to %3 bytes, or 0); %4 is used.</source>
        <translation>Einstellung &quot;previewSizeLimit&quot; &quot;%1&quot; liegt außerhalb des Bereichs (%2 bis %3 Byte, oder 0); %4 wird verwendet.</translation>
    </message>
    <message>
        <source>%1; no session profiles are listed.</source>
        <translation>%1; es werden keine Sitzungsprofile aufgeführt.</translation>
    </message>
    <message>
        <source>Settings file &quot;%1&quot; holds no session profiles.</source>
        <translation>Die Einstellungsdatei &quot;%1&quot; enthält keine Sitzungsprofile.</translation>
    </message>
</context>
</TS>
