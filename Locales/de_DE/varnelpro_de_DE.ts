<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>Headless</name>
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
        <source>cannot write the export file: %1</source>
        <translation>Exportdatei kann nicht geschrieben werden: %1</translation>
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
        <source>Usage: varnelpro -in=&lt;folder or file&gt; -out=&lt;folder&gt; [switches]
Converts text files of any code page or Unicode form into one Unicode form.

  -in=PATH, -i=PATH     input folder or file (relative to the current folder)
  -out=PATH, -o=PATH    output folder (mode FILE: output file); mirrors the input tree
  -r                    include subfolders
  -h                    include hidden files and folders
  -c                    copy files that are not converted (binary, or of unknown encoding)
  -d                    detect only: report each file's encoding, write nothing
  -enc=FORMAT           UTF8 (default), UTF16, UTF16LE, UTF16BE, UTF32, UTF32LE, UTF32BE, 3412, 2143
  -bom=yes|no           write a byte order mark (default yes)
  -rt=CRLF|CR|LF        line endings (default: keep)
  -cp=NUMBER            read every file in this code page instead of detecting
  -repair               repair UTF-8 that was encoded twice (through windows-1252)
  -wf=PATTERNS          only files matching these wildcards (&quot;*.txt;*.csv&quot;)
  -rf=REGEX             only files whose name matches this regular expression
  -mode=FILE            convert the single file -in into the file -out
  -export=FILE          write a report of every file
  -exporttype=CSV|XML   report format (default CSV)
  -exportenc=FORMAT     report encoding: UTF8 (default), UTF16LE, UTF16BE, UTF32LE, UTF32BE
  -exportbom=yes|no     report byte order mark (default yes)
  -CmdFile=FILE         read the switches from the first line of FILE
  -help, -?             show this text

Switches start with '-' or '/'; values follow '=' or ':'. Exit status: 0 all files OK,
1 some files ended with a warning or an error (or the run was stopped), 2 the run
could not start (nothing was changed).
</source>
        <translation>Aufruf: varnelpro -in=&lt;Ordner oder Datei&gt; -out=&lt;Ordner&gt; [Schalter]
Konvertiert Textdateien aus beliebigen Codepages oder Unicode-Formen in eine Unicode-Form.

  -in=PFAD, -i=PFAD     Eingabeordner oder -datei (relativ zum aktuellen Ordner)
  -out=PFAD, -o=PFAD    Ausgabeordner (Modus FILE: Ausgabedatei); bildet den Eingabebaum nach
  -r                    Unterordner einbeziehen
  -h                    versteckte Dateien und Ordner einbeziehen
  -c                    nicht konvertierte Dateien (binär oder in unbekannter Kodierung) kopieren
  -d                    nur erkennen: Kodierung jeder Datei melden, nichts schreiben
  -enc=FORMAT           UTF8 (Standard), UTF16, UTF16LE, UTF16BE, UTF32, UTF32LE, UTF32BE, 3412, 2143
  -bom=yes|no           Byte-Order-Mark schreiben (Standard: yes)
  -rt=CRLF|CR|LF        Zeilenenden (Standard: beibehalten)
  -cp=NUMMER            jede Datei in dieser Codepage lesen statt sie zu erkennen
  -repair               doppelt (über windows-1252) als UTF-8 kodierten Text reparieren
  -wf=MUSTER            nur Dateien, die diesen Platzhaltern entsprechen (&quot;*.txt;*.csv&quot;)
  -rf=REGEX             nur Dateien, deren Name diesem regulären Ausdruck entspricht
  -mode=FILE            die einzelne Datei -in in die Datei -out konvertieren
  -export=DATEI         einen Bericht über jede Datei schreiben
  -exporttype=CSV|XML   Berichtsformat (Standard: CSV)
  -exportenc=FORMAT     Kodierung des Berichts: UTF8 (Standard), UTF16LE, UTF16BE, UTF32LE, UTF32BE
  -exportbom=yes|no     Byte-Order-Mark des Berichts (Standard: yes)
  -CmdFile=DATEI        die Schalter aus der ersten Zeile von DATEI lesen
  -help, -?             diesen Text anzeigen

Schalter beginnen mit '-' oder '/'; Werte folgen nach '=' oder ':'. Exit-Status: 0 alle Dateien OK,
1 einige Dateien endeten mit einer Warnung oder einem Fehler (oder der Lauf wurde angehalten),
2 der Lauf konnte nicht beginnen (nichts wurde verändert).
</translation>
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
</TS>
