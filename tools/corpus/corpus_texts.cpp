#include "tools/corpus/corpus_texts.h"

#include <stdexcept>
#include <string>

namespace corpus {

namespace {

// English with the typographic characters that make it windows-1252 rather
// than ASCII (curly quotes, an em dash, the pound sign).
constexpr std::string_view kEnglish =
    "The ferry leaves the harbour at seven, whatever the weather. On the crossing, Margaret counts "
    "the gulls that follow the wake and writes the number in a small notebook she has kept since "
    "1998 \u2014 the record stands at forty-three. \u201CNobody asked me to,\u201D she says, \u201Cbut "
    "somebody ought to know.\u201D The caf\u00E9 on the upper deck sells tea for \u00A31.20 and a dry "
    "scone that nobody finishes.\n"
    "When the island comes into view, the passengers drift towards the rail. A boy asks whether the "
    "lighthouse is still lit at night; his father isn\u2019t sure. Margaret is: it was switched to "
    "solar power last spring, and she wrote that down too.\n";

// Nothing above 0x7F.
constexpr std::string_view kAscii =
    "Build notes for the spring release. The installer now checks the free disk space before it "
    "copies anything, and it asks before it replaces an existing settings file. Log files rotate at "
    "ten megabytes; the last five are kept. If the conversion of a folder stops halfway, run it again "
    "with the same options: files that were already written are compared by size and date and "
    "skipped.\n"
    "Known issue: very long file names on network shares may be shown cut off in the list view. The "
    "full name is still used for reading and writing.\n";

constexpr std::string_view kFrench =
    "Chaque samedi matin, le march\u00E9 s'installe sur la place de l'\u00E9glise bien avant le lever "
    "du soleil. Les mara\u00EEchers d\u00E9chargent leurs cagettes de poireaux, de betteraves et de "
    "pommes reinettes ; le fromager aligne ses tommes sous une toile cir\u00E9e. \u00AB Go\u00FBtez-moi "
    "\u00E7a \u00BB, lance-t-il aux passants, et personne n'ose refuser.\n"
    "Vers dix heures, la foule devient si dense qu'il faut jouer des coudes pour atteindre l'\u00E9tal "
    "du boulanger. Sa brioche co\u00FBte 4,50 \u20AC et dispara\u00EEt en moins d'une heure. Les "
    "enfants r\u00E9clament des cr\u00EApes, les anciens discutent du prix des \u0153ufs et de la pluie "
    "qui n'arrive toujours pas. \u00C0 midi, tout est rang\u00E9, et la place retrouve son silence "
    "habituel.\n";

constexpr std::string_view kGerman =
    "Der alte Bahnhof am Rand der Kleinstadt wird seit Jahren nicht mehr von Z\u00FCgen angefahren. "
    "Trotzdem \u00F6ffnet Herr B\u00F6hm jeden Morgen p\u00FCnktlich um acht die T\u00FCr des "
    "Wartesaals, fegt den Boden und stellt frische Blumen auf das Fensterbrett. \u201EMan wei\u00DF ja "
    "nie\u201C, sagt er, wenn ihn jemand fragt.\n"
    "Im Sommer kommen Radfahrer vorbei, die auf der stillgelegten Strecke bis zum Fluss fahren. Sie "
    "f\u00FCllen ihre Wasserflaschen am Brunnen vor dem Geb\u00E4ude und lesen die Fahrpl\u00E4ne, die "
    "noch immer an der Wand h\u00E4ngen \u2013 vergilbt, aber vollst\u00E4ndig. Manche lassen eine "
    "Postkarte im Briefkasten zur\u00FCck, obwohl dieser seit \u00FCber zw\u00F6lf Jahren nicht mehr "
    "geleert wird.\n";

constexpr std::string_view kSpanish =
    "En el pueblo de mis abuelos, el agua llegaba de un manantial que nac\u00EDa en la ladera norte de "
    "la sierra. Cada verano, cuando el caudal bajaba, los vecinos se reun\u00EDan para limpiar la "
    "acequia y discutir c\u00F3mo repartir el riego. \u00BFQui\u00E9n ten\u00EDa derecho al primer "
    "turno? \u00BFCu\u00E1ntas horas le tocaban a la huerta del molino? Las discusiones duraban hasta "
    "la madrugada.\n"
    "Mi abuela apuntaba los acuerdos en un cuaderno de tapas azules, con una letra peque\u00F1a y muy "
    "ordenada. A\u00F1os despu\u00E9s, encontr\u00E9 ese cuaderno en un caj\u00F3n: setenta p\u00E1ginas "
    "de nombres, fechas y horarios. \u00A1Qu\u00E9 paciencia la suya! Todav\u00EDa hoy, algunos vecinos "
    "lo consultan cuando surge una duda.\n";

constexpr std::string_view kRussian =
    "Зимой наша деревня почти пустеет. Летние жильцы уезжают в город ещё в конце сентября, и на "
    "улице остаются только те, кому некуда спешить. Дорогу к станции расчищает трактор, но только по "
    "вторникам и пятницам, поэтому продукты мы покупаем заранее, на всю неделю.\n"
    "Вечерами соседи собираются у Петра Ивановича: у него самая тёплая печь и самый большой самовар. "
    "Говорят о погоде, о ценах на дрова, о том, кто из детей обещал приехать на праздники. Иногда "
    "кто-нибудь приносит старый альбом с фотографиями, и тогда разговор затягивается далеко за "
    "полночь. Утром снова метель, и всё начинается сначала.\n";

constexpr std::string_view kBulgarian =
    "Всяка пролет баба ми засаждаше домати, чушки и краставици в малката градина зад къщата. Тя "
    "ставаше преди изгрев, за да полива, докато слънцето още не е напекло. Казваше, че растенията "
    "обичат разговора, и затова им разказваше за всичко, което се случва в селото.\n"
    "Когато пораснах, се опитах да правя същото на балкона си в града. Доматите ми излязоха дребни и "
    "кисели, а чушките изобщо не поникнаха. Обадих се на баба да питам какво бъркам. Тя се засмя и "
    "каза, че съм забравил най-важното: трябва да им говориш всеки ден, не само в неделя.\n";

// Holds a capital alpha with tonos, which ISO-8859-7 and windows-1253 place differently.
constexpr std::string_view kGreek =
    "Το μικρό λιμάνι του νησιού ξυπνά πολύ πριν από τους επισκέπτες. Οι ψαράδες επιστρέφουν με τις "
    "βάρκες τους λίγο μετά τις πέντε και απλώνουν τα δίχτυα στην προκυμαία για να στεγνώσουν. Η κυρία "
    "Ελένη ανοίγει το καφενείο της και βάζει νερό να βράσει, γιατί ξέρει ότι σε λίγο θα γεμίσει.\n"
    "Άνοιξη και φθινόπωρο είναι οι καλύτερες εποχές για να έρθει κανείς εδώ. Ο καιρός είναι ήπιος, "
    "τα πλοία έρχονται κάθε δεύτερη μέρα και οι ταβέρνες σερβίρουν ό,τι έπιασαν οι ψαράδες το πρωί. "
    "«Εδώ ο χρόνος κυλάει αλλιώς», λένε οι ντόπιοι, και μάλλον έχουν δίκιο.\n";

// Letters only, no points: ISO-8859-8 has none.
constexpr std::string_view kHebrew =
    "בכל יום שישי בבוקר אבי היה הולך לשוק הקטן שליד התחנה המרכזית. הוא קנה תמיד את אותם הדברים: "
    "לחם שחור, גבינה לבנה, עגבניות, ושקית של זיתים ירוקים מהדוכן של משה. המוכרים הכירו אותו בשם, "
    "ולפעמים שמרו לו את הפירות היפים ביותר מתחת לדלפק.\n"
    "כשהייתי ילד, הייתי מצטרף אליו ומחזיק את הסלים. הרעש, הריחות והצבעים נראו לי אז כמו עולם שלם. "
    "היום השוק כבר סגור, ובמקומו עומד בניין משרדים גבוה, אבל כשאני עובר שם ביום שישי, אני עדיין "
    "מחפש בעיניים את הדוכן של משה.\n";

constexpr std::string_view kJapanese =
    "駅から歩いて十五分ほどの所に、古い銭湯がある。煙突は少し傾いているが、毎日午後三時になると湯気が"
    "立ち上り、近所の人々が手ぬぐいを肩にかけて集まってくる。番台に座っているのは八十歳を過ぎたおばあ"
    "さんで、常連客の名前はもちろん、その家族の誕生日まで覚えているという。\n"
    "最近は若い人の姿も増えた。雑誌で紹介されたことがきっかけらしい。おばあさんは「ありがたいけれど、"
    "湯船で写真を撮るのはやめてほしい」と笑いながら話す。壁に描かれた富士山の絵は、三十年前に地元の"
    "看板屋が描いたもので、色はだいぶ薄くなったが、誰も塗り直そうとは言わない。\n"
    "閉店は夜十一時。最後の客が帰ると、おじいさんが黙って床を磨き始める。タイルの目地に沿ってブラシを"
    "動かす音だけが、静かな浴場に響いている。明日もまた、同じ時間に煙突から湯気が上がるだろう。\n";

// GB2312 characters only, so that GBK, GB18030, HZ and ISO-2022-CN all carry it.
constexpr std::string_view kChineseSimplified =
    "我们小区门口有一家开了二十多年的面馆。老板姓王，每天清晨五点就开始和面，到六点半第一碗牛肉面准时"
    "端上桌。店里只有六张桌子，墙上挂着一块木板，上面用毛笔写着菜单，价格已经改过好几次，但字迹还是原"
    "来的。\n"
    "附近的上班族喜欢在这里吃早饭，学生们放学后也常来点一碗小份的。王老板话不多，却记得每位熟客的口味："
    "谁不要香菜，谁要多加辣椒，谁的面要煮得软一些。有人问他为什么不开分店，他笑着说，一家店就够忙的了，"
    "再多就照顾不过来了。\n"
    "去年冬天，面馆因为装修关了一个月。重新开门那天，门外排起了长队，大家都说，没有这碗面，早上总觉得"
    "少了点什么。\n";

constexpr std::string_view kChineseTraditional =
    "外婆家在山腳下的小鎮上，屋後有一片竹林。小時候每到暑假，我們就會搭兩個小時的公車去看她。她總是早"
    "早站在巷口等我們，手裡拿著一把蒲扇，一邊搧風一邊說我們又長高了。\n"
    "外婆的廚房不大，卻永遠飄著香味。她最拿手的是筍乾燉肉，竹筍是自己上山挖的，曬乾以後收在陶罐裡，可"
    "以放上一整年。吃飯的時候，她自己很少動筷子，只是不停地往我們碗裡夾菜。\n"
    "後來外婆搬到城裡和舅舅同住，老房子就空了下來。前幾年我回去看過一次，竹林還在，風吹過的時候，沙沙"
    "的聲音和從前一模一樣。\n";

// KS X 1001 syllables only (EUC-KR and ISO-2022-KR carry no others).
constexpr std::string_view kKorean =
    "우리 동네 도서관은 오래된 초등학교 건물을 고쳐서 만든 곳이다. 교실이었던 방마다 책장이 놓여 있고, "
    "복도에는 아이들이 그린 그림이 아직도 걸려 있다. 평일 오후에는 숙제를 하러 온 학생들로 자리가 가득 "
    "차고, 주말에는 할머니들이 모여 앉아 돋보기를 쓰고 신문을 읽는다.\n"
    "사서 선생님은 이 학교의 졸업생이라고 한다. 선생님은 어린 시절 자기가 앉았던 자리를 기억하고 "
    "있어서, 가끔 그 창가 자리에 앉은 아이에게 몰래 사탕을 하나씩 건넨다. 도서관이 문을 닫는 저녁 여섯 "
    "시가 되면, 운동장에서 공을 차던 아이들도 하나둘씩 집으로 돌아간다.\n"
    "작년에는 주민들이 돈을 모아 새 책을 삼백 권이나 기증했다. 책마다 기증한 사람의 이름이 적힌 작은 "
    "쪽지가 붙어 있다.\n";

// ASCII quotes only: ISO-8859-2 has no curly ones.
constexpr std::string_view kPolish =
    "Nad jeziorem, tuż za ostatnimi domami wsi, stoi drewniana przystań, którą zbudował jeszcze mój "
    "pradziadek. Deski są już szare i popękane, ale co roku ktoś wymienia te najbardziej zniszczone. "
    "Latem dzieci skaczą z pomostu do wody, a wieczorem starsi panowie łowią tu okonie i opowiadają, "
    "jak dawniej bywało.\n"
    "Zimą jezioro zamarza tak grubo, że można po nim chodzić aż do przeciwległego brzegu. Wtedy "
    "przystań zamienia się w miejsce, gdzie zakłada się łyżwy i pije gorącą herbatę z termosu. Żadna "
    "pora roku nie jest tu nudna, choć każda ma swój własny rytm i zapach.\n";

constexpr std::string_view kCzech =
    "Můj děda pracoval celý život jako hodinář v malém krámku na náměstí. Výloha byla plná budíků, "
    "kapesních hodinek a starých kukaček, které opravoval pro lidi z celého okresu. Když jsem byl "
    "malý, sedával jsem vedle něj na stoličce a díval se, jak pinzetou skládá drobná kolečka, sotva "
    "větší než zrnko máku.\n"
    "Říkal, že hodinky jsou jako lidé: každé mají svou povahu a žádné se nedají uspěchat. Krámek už "
    "dávno nepatří naší rodině, ale když jdu kolem, pořád se zastavím u výlohy a poslouchám, jestli "
    "uvnitř něco tiká.\n";

constexpr std::string_view kThai = "ทุกเช้าวันอาทิตย์ ตลาดริมคลองหน้าบ้านของยายจะคึกคักเป็นพิเศษ แม่ค้าพายเรือนำผักผลไม้และขนมไทยมาขาย"
                                   "ตั้งแต่ฟ้ายังไม่สว่าง ยายชอบซื้อขนมครกกับกล้วยทอดจากร้านประจำ ซึ่งขายมานานกว่าสามสิบปีแล้ว\n"
                                   "ตอนเด็กๆ ฉันมักตามยายไปตลาดเพื่อช่วยถือของ ยายจะเล่าเรื่องสมัยก่อนให้ฟังเสมอ ว่าคลองนี้เคยเป็น"
                                   "เส้นทางหลักของคนในชุมชน ก่อนที่จะมีถนนตัดผ่าน ทุกวันนี้ตลาดเล็กลงกว่าเดิมมาก แต่ก็ยังมีคนมาเดิน"
                                   "เที่ยวอยู่ไม่ขาดสาย\n";

constexpr std::string_view kTurkish =
    "Annemin memleketi olan küçük kasabada, çarşının ortasında yüz yıllık bir çınar ağacı vardır. "
    "Yazın öğle sıcağında yaşlılar onun gölgesinde oturur, çay içip tavla oynarlar. Ağacın altındaki "
    "çeşmeden akan su o kadar soğuktur ki, çocuklar ellerini birkaç saniyeden fazla tutamaz.\n"
    "Belediye birkaç yıl önce meydanı yenilemek istediğinde, kasabalılar ağacın kesilmesine karşı "
    "çıktı. Toplantılar yapıldı, dilekçeler yazıldı ve sonunda çınar yerinde kaldı. Şimdi gövdesinin "
    "etrafında yeni bir bank var ve üzerinde küçük bir tabela asılı: \"Bu ağaç hepimizindir.\"\n";

// Romanian with the comma-below letters, which only ISO-8859-16 carries among
// the 8-bit code pages.
constexpr std::string_view kRomanian =
    "Bunicul meu avea o livadă de meri la marginea satului, pe un deal care cobora spre râu. În "
    "fiecare toamnă, toată familia se aduna acolo pentru cules. Copiii urcau în pomi, adulții țineau "
    "coșurile, iar bunica pregătea la umbră o masă lungă cu brânză, roșii și pâine caldă.\n"
    "Merele cele mai frumoase erau duse la piață, iar celelalte ajungeau în pivniță sau deveneau "
    "compot și gem. Seara, obosiți, ne așezam pe prispă și ascultam poveștile bunicului despre anii "
    "în care livada abia fusese plantată și fiecare copac avea un nume.\n";

// Lithuanian: the Baltic code pages (ISO-8859-4, ISO-8859-13, windows-1257).
constexpr std::string_view kLithuanian =
    "Mūsų kaimo pakraštyje, prie pat miško, stovi sena medinė mokykla. Vaikų joje nebėra jau "
    "dvidešimt metų, bet pastatas neapleistas: vasarą čia vyksta liaudies amatų dirbtuvės, o žiemą "
    "renkasi vietos choras. Kiekvieną šeštadienį buvusi mokytoja atrakina duris, užkuria krosnį ir "
    "laukia svečių.\n"
    "Senieji gyventojai mėgsta prisiminti, kaip eidavo į pamokas per sniegą, nešdamiesi malkų ryšulį "
    "krosniai. Dabar jų anūkai atvažiuoja iš miesto ir stebisi, kad viena klasė galėjo sutalpinti "
    "visus apylinkės vaikus. Ant sienos tebekabo senas žemėlapis, kuriame dar pažymėti seniai išnykę "
    "keliai.\n";

// Arabic letters with the Arabic comma and question mark, which ISO-8859-6
// and windows-1256 both carry.
constexpr std::string_view kArabic =
    "في كل صباح، يفتح عمي دكانه الصغير في السوق القديم قبل أن تشرق الشمس. يرتب أكياس القهوة والهيل "
    "على الرفوف الخشبية، ثم يجلس عند الباب ويشرب فنجانه الأول بهدوء. يعرفه أهل الحي جميعا، ويأتون "
    "إليه لا ليشتروا فقط، بل ليتحدثوا عن الأخبار والطقس وأحوال الأسرة.\n"
    "عندما كنت صغيرا، كنت أساعده في وزن البن وطحنه. كانت رائحة القهوة تملأ المكان وتبقى في ثيابي "
    "حتى المساء. اليوم أصبح الدكان أكبر، لكن عمي ما زال يجلس عند الباب كل صباح، ويسأل كل زائر: هل "
    "جربت الخلطة الجديدة؟\n";

// Every script above plus characters outside the Basic Multilingual Plane;
// only the Unicode forms and GB18030 carry all of it.
constexpr std::string_view kMixed =
    "Release checklist / Liste de contr\u00F4le / Контрольный список / 檢查清單 / 確認事項\n"
    "1. Build the installer on a clean machine and run it once as a new user.\n"
    "2. Пройтись по всем диалогам и проверить переводы: ελληνικά, עברית, 한국어, ไทย.\n"
    "3. Convert the sample folder and compare sizes; the bicycle \U0001F6B2 test file and the "
    "rare-character file (\U0002000B, \U00020B9F) must survive the round trip.\n"
    "4. Écrire la note de version: « corrections mineures, aucune perte de données ».\n"
    "5. 最后，把新版本上传到服务器，并通知各位同事。\n";

// Vietnamese in precomposed letters (VISCII, windows-1258).
constexpr std::string_view kVietnamese = "Sáng nào bà cũng ra chợ từ lúc trời còn tối. "
                                         "Bà mua rau muống, một con cá nhỏ và mấy quả chuối "
                                         "cho đám cháu. Người bán hàng đều biết tên "
                                         "bà và hỏi thăm sức khỏe.\n"
                                         "Khi về đến nhà, bà ghi số tiền đã tiêu vào "
                                         "một cuốn sổ nhỏ, như bà vẫn làm suốt ba mươi "
                                         "năm nay.\n";

// Portuguese: Western code pages (windows-1252, ISO-8859-15, Mac Roman).
constexpr std::string_view kPortuguese =
    "Na vila onde cresci, a padaria abria às cinco da manhã e o cheiro do pão quente chegava até a "
    "praça. O senhor Joaquim, que já passava dos setenta anos, ainda amassava a massa à mão e não "
    "confiava em máquinas. Dizia que o segredo estava na paciência e na água da fonte, nunca na "
    "farinha cara.\n"
    "Aos domingos, as crianças faziam fila para comprar sonhos recheados de creme. Quem chegava "
    "tarde só encontrava migalhas e um sorriso de desculpa. Hoje a padaria é gerida pela neta dele, "
    "mas a receita continua igual, escrita num caderno gasto que ninguém tem coragem de substituir.\n";

// Ukrainian with є і ї ґ, which KOI8-U adds to KOI8-R.
constexpr std::string_view kUkrainian =
    "Щоосени бабуся збирала яблука в старому саду за хатою. Їх було так багато, що частину ми віддавали "
    "сусідам, а решту сушили на горищі. Увечері вся родина сідала на ґанку, і бабуся розповідала про своє "
    "дитинство та про те, яким було село до війни.\n"
    "Дідусь тим часом лагодив старий годинник або пришивав ґудзики до своєї куртки. Він казав, що поспіх "
    "потрібен лише тоді, коли ловиш бліх. Ми сміялися, але й досі згадуємо ці слова, коли кудись "
    "поспішаємо.\n";

// Korean with syllables beyond KS X 1001 (똠, 햏, 뷁, 됬, 샾), which only the
// UHC extension of code page 949 carries.
constexpr std::string_view kKoreanUhc =
    "예전 인터넷 게시판에서는 스스로를 햏자라고 부르는 사람들이 많았다. 그들은 글 끝에 뷁이라는 알 수 "
    "없는 말을 붙이곤 했는데, 처음 보는 사람은 무슨 뜻인지 몰라 어리둥절했다. 오래된 소설 똠방각하의 "
    "제목도 그 시절에 자주 인용되었다.\n"
    "맞춤법이 틀린 됬다는 표현도 흔했고, 프로그래머들은 씨샾 이야기를 하며 밤을 새웠다. 지금은 대부분 "
    "사라졌지만, 그때를 기억하는 사람들은 아직도 그 말들을 들으면 웃음이 난다.\n";

// Written Cantonese with characters of the HKSCS extension (哋 咗 嘅 嘢 㗎).
constexpr std::string_view kCantonese =
    "我哋屋企樓下有間茶餐廳，開咗三十幾年。老闆每朝六點就開門，佢話做慣咗，遲啲起身反而唔舒服。啲熟客"
    "一坐低，伙記唔使問就知佢哋要咩：凍檸茶少甜、菠蘿油加多舊牛油。\n"
    "有時我同阿媽去飲早茶，佢成日都嗌同一樣嘢，話其他嘢冇咁好食㗎。而家租金咁貴，好多舊舖都執咗笠，所以"
    "我哋都好珍惜呢間餐廳嘅味道，希望佢可以一直開落去。\n";

// Turkish with windows-1254's typographic quotes, dash and ellipsis (80..9F).
constexpr std::string_view kTurkishTypographic =
    "Sabah erkenden yola çıktık \u2013 hava henüz ağarmamıştı. Şoför \u201CYol uzun, mola vermeden "
    "gideriz\u201D dedi, ama ilk benzin istasyonunda durmak zorunda kaldık\u2026 Çaylar içildi, simitler "
    "alındı ve yolculuk yeniden başladı.\n"
    "Öğleye doğru dağların arasından geçerken yağmur başladı. Küçük kızım camdan dışarı bakıp \u201CBulutlar "
    "ağlıyor mu?\u201D diye sordu; herkes güldü.\n";

// Lithuanian with windows-1257's „ “ quotes and en dash (80..9F).
constexpr std::string_view kLithuanianTypographic =
    "Vakar bibliotekoje vyko susitikimas su rašytoja, išleidusia naują knygą \u201ETylūs vandenys\u201C. "
    "Salėje susirinko per šimtą žmonių \u2013 daugiausia moksleivių ir jų mokytojų. Autorė pasakojo, kad "
    "knygą rašė beveik dešimt metų.\n"
    "Po susitikimo visi norintys galėjo gauti autografą. Eilė nusitęsė iki pat durų, o bibliotekininkė "
    "juokėsi: \u201ETokios eilės čia nebuvo nuo sovietmečio laikų.\u201C\n";

constexpr Paragraph kParagraphs[] = {
    {"en", kEnglish},
    {"ascii", kAscii},
    {"fr", kFrench},
    {"de", kGerman},
    {"es", kSpanish},
    {"ru", kRussian},
    {"bg", kBulgarian},
    {"el", kGreek},
    {"he", kHebrew},
    {"ja", kJapanese},
    {"zh-hans", kChineseSimplified},
    {"zh-hant", kChineseTraditional},
    {"ko", kKorean},
    {"pl", kPolish},
    {"cs", kCzech},
    {"th", kThai},
    {"tr", kTurkish},
    {"ro", kRomanian},
    {"lt", kLithuanian},
    {"ar", kArabic},
    {"vi", kVietnamese},
    {"mixed", kMixed},
    {"uk", kUkrainian},
    {"ko-uhc", kKoreanUhc},
    {"yue", kCantonese},
    {"tr-typo", kTurkishTypographic},
    {"lt-typo", kLithuanianTypographic},
    {"pt", kPortuguese},
};

}  // namespace

std::span<const Paragraph> Paragraphs()
{
    return kParagraphs;
}

const Paragraph& ParagraphById(std::string_view id)
{
    for (const auto& p : kParagraphs)
        if (p.id == id)
            return p;
    throw std::out_of_range("no corpus paragraph " + std::string(id));
}

}  // namespace corpus
