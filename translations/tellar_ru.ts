<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="et">
<context>
    <name>Form3</name>
    <message>
        <source>Aruanne</source>
        <translation>Отчёт</translation>
    </message>
    <message>
        <source>Algus:</source>
        <translation>Начало:</translation>
    </message>
    <message>
        <source>Lõpp:</source>
        <translation>Конец:</translation>
    </message>
    <message>
        <source>Grupeering:</source>
        <translation>Группировка:</translation>
    </message>
    <message>
        <source>Näita ainult õnnestunud tehinguid</source>
        <translation>Показывать только успешные операции</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Loobu</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Puudub</source>
        <translation>Без группировки</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Терминал</translation>
    </message>
    <message>
        <source>Kuupäev</source>
        <translation>Дата</translation>
    </message>
    <message>
        <source>Kaart</source>
        <translation>Карта</translation>
    </message>
    <message>
        <source>Vastuse kood</source>
        <translation>Код ответа</translation>
    </message>
    <message>
        <source>Staatus</source>
        <translation>Статус</translation>
    </message>
    <message>
        <source>et_EE</source>
        <comment>the locale of the date pickers&apos; calendar</comment>
        <translation>ru_RU</translation>
    </message>
</context>
<context>
    <name>Form4</name>
    <message>
        <source>Eritoimingud</source>
        <translation>Спецоперации</translation>
    </message>
    <message>
        <source>Toiming:</source>
        <translation>Операция:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Loobu</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Terminali tehingute saatmine</source>
        <translation>Отправка операций терминала</translation>
    </message>
    <message>
        <source>Osakonna tehingute saatmine</source>
        <translation>Отправка операций отдела</translation>
    </message>
    <message>
        <source>Kliendikaartide andmete värskendamine</source>
        <translation>Обновление данных клиентских карт</translation>
    </message>
</context>
<context>
    <name>Form5</name>
    <message>
        <source>Aeg:</source>
        <translation>Время:</translation>
    </message>
    <message>
        <source>Toiming:</source>
        <translation>Операция:</translation>
    </message>
    <message>
        <source>Summa:</source>
        <translation>Сумма:</translation>
    </message>
    <message>
        <source>Kviitungi nr.:</source>
        <translation>№ чека:</translation>
    </message>
    <message>
        <source>Tulemus:</source>
        <translation>Результат:</translation>
    </message>
    <message>
        <source>STAN:</source>
        <translation>STAN:</translation>
    </message>
    <message>
        <source>Aeg</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Toiming</source>
        <translation>Операция</translation>
    </message>
    <message>
        <source>Summa</source>
        <translation>Сумма</translation>
    </message>
    <message>
        <source>Kviitung</source>
        <translation>Чек</translation>
    </message>
    <message>
        <source>Tulemus</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>STAN</source>
        <translation>STAN</translation>
    </message>
    <message>
        <source>Viimased tehingud</source>
        <translation>Последние операции</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Терминал</translation>
    </message>
    <message>
        <source>Sobivad tehingud</source>
        <translation>Подходящие операции</translation>
    </message>
</context>
<context>
    <name>JournalTexts</name>
    <message>
        <source>Kaardimakse</source>
        <translation>Оплата картой</translation>
    </message>
    <message>
        <source>Broneering</source>
        <translation>Бронь</translation>
    </message>
    <message>
        <source>Tühistamine</source>
        <translation>Сторно</translation>
    </message>
    <message>
        <source>Jootraha</source>
        <translation>Чаевые</translation>
    </message>
    <message>
        <source>Broneeringu lõpetamine</source>
        <translation>Закрытие брони</translation>
    </message>
    <message>
        <source>Õnnestus (kontrollitud serverist)</source>
        <translation>Успешно (проверено на сервере)</translation>
    </message>
    <message>
        <source>Ei toimunud (kassapidaja otsus)</source>
        <translation>Не состоялась (решение кассира)</translation>
    </message>
    <message>
        <source>Keeldutud (kontrollitud serverist)</source>
        <translation>Отказано (проверено на сервере)</translation>
    </message>
    <message>
        <source>Teadmata (kassapidaja jätkas)</source>
        <translation>Неизвестно (кассир продолжил)</translation>
    </message>
    <message>
        <source>Pooleli</source>
        <translation>Не завершена</translation>
    </message>
    <message>
        <source>Õnnestus</source>
        <translation>Успешно</translation>
    </message>
    <message>
        <source>Keeldutud</source>
        <translation>Отказано</translation>
    </message>
    <message>
        <source>Keeldutud: %1</source>
        <translation>Отказано: %1</translation>
    </message>
    <message>
        <source>Teadmata (vastuolulised vastused)</source>
        <translation>Неизвестно (противоречивые ответы)</translation>
    </message>
    <message>
        <source>Teadmata</source>
        <translation>Неизвестно</translation>
    </message>
    <message>
        <source>Viimane tehing</source>
        <translation>Последняя операция</translation>
    </message>
    <message>
        <source>&amp;Viimane tehing...</source>
        <translation>&amp;Последняя операция...</translation>
    </message>
    <message>
        <source>Kontrolli serverist</source>
        <translation>Проверить на сервере</translation>
    </message>
    <message>
        <source>Prindi kviitung uuesti</source>
        <translation>Напечатать чек повторно</translation>
    </message>
    <message>
        <source>Prindi kviitung uuesti (kviitung %1)</source>
        <translation>Напечатать чек повторно (чек %1)</translation>
    </message>
    <message>
        <source>Märgi mittetoimunuks</source>
        <translation>Отметить как несостоявшуюся</translation>
    </message>
    <message>
        <source>Sulge</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>See tehing õnnestus</source>
        <translation>Эта операция прошла</translation>
    </message>
    <message>
        <source>Eelmise makse tulemus on teadmata. Kas alustada uus makse?</source>
        <translation>Результат предыдущего платежа неизвестен. Начать новый платёж?</translation>
    </message>
    <message>
        <source>Tehing õnnestus. Kviitungi number: %1</source>
        <translation>Операция прошла успешно. Номер чека: %1</translation>
    </message>
    <message>
        <source>Serveri aruandes seda tehingut ei ole (kontrollitud %1). Kui olete kindel, et klient ei maksnud, märkige tehing mittetoimunuks.</source>
        <translation>В отчёте сервера этой операции нет (проверено в %1). Если вы уверены, что клиент не заплатил, отметьте операцию как несостоявшуюся.</translation>
    </message>
    <message>
        <source>Tehing on märgitud mittetoimunuks.</source>
        <translation>Операция отмечена как несостоявшаяся.</translation>
    </message>
    <message>
        <source>Serveri andmetel sobib mitu tehingut. Valige õige või jätke tehing kontrollimata.</source>
        <translation>По данным сервера подходят несколько операций. Выберите нужную или оставьте операцию непроверенной.</translation>
    </message>
    <message>
        <source>Kontrollin serverist...</source>
        <translation>Проверяю на сервере...</translation>
    </message>
    <message>
        <source>Serverist kontrollimine ebaõnnestus.</source>
        <translation>Проверить на сервере не удалось.</translation>
    </message>
    <message>
        <source>Tehinguid pole veel tehtud.</source>
        <translation>Операций ещё не было.</translation>
    </message>
    <message>
        <source>Tellar töötab selles kassas juba.</source>
        <translation>Tellar уже работает на этой кассе.</translation>
    </message>
    <message>
        <source>Programm lõpetas eelmisel korral ootamatult töö. Viimane tehing õnnestus. Kviitungi number: %1</source>
        <translation>В прошлый раз программа неожиданно завершила работу. Последняя операция прошла успешно. Номер чека: %1</translation>
    </message>
</context>
<context>
    <name>PromptStyle</name>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Прервать</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Пропустить</translation>
    </message>
</context>
<context>
    <name>ReceiptPrinter</name>
    <message>
        <source>Viga kviitungite trükkimisel. (Kviitungi number=%1)</source>
        <translation>Ошибка печати чека. (Номер чека=%1)</translation>
    </message>
</context>
<context>
    <name>ReportText</name>
    <message>
        <source>Sõnumi dekodeerimine...</source>
        <translation>Расшифровка сообщения...</translation>
    </message>
    <message>
        <source>Aruanne dokumendi koostamine: %1%</source>
        <translation>Составление документа отчёта: %1%</translation>
    </message>
    <message>
        <source>Aruanne dokumendi salvestamine...</source>
        <translation>Сохранение документа отчёта...</translation>
    </message>
    <message>
        <source>Aruanne koostamine ebaõnnestus: %1</source>
        <translation>Составить отчёт не удалось: %1</translation>
    </message>
    <message>
        <source>maksesüsteemi vastus on vigane.</source>
        <translation>ответ платёжной системы неверен.</translation>
    </message>
    <message>
        <source>Aruande kuvamine ebaõnnestus.</source>
        <translation>Показать отчёт не удалось.</translation>
    </message>
    <message>
        <source>Eelmine toiming on veel pooleli.</source>
        <translation>Предыдущая операция ещё не завершена.</translation>
    </message>
</context>
<context>
    <name>SessionText</name>
    <message>
        <source>Ühendus maksesüsteemiga katkes. (Timeout)</source>
        <translation>Связь с платёжной системой прервана. (Timeout)</translation>
    </message>
    <message>
        <source>Ühendus maksesüsteemiga katkes. (Socket closed)</source>
        <translation>Связь с платёжной системой прервана. (Socket closed)</translation>
    </message>
    <message>
        <source>Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)</source>
        <translation>Связь с платёжной системой прервана. (Attempt to write on closed socket)</translation>
    </message>
    <message>
        <source>Ei saa ühendust maksesüsteemiga. (%1)</source>
        <translation>Нет связи с платёжной системой. (%1)</translation>
    </message>
    <message>
        <source>Ühendus maksesüsteemiga katkes. (%1)</source>
        <translation>Связь с платёжной системой прервана. (%1)</translation>
    </message>
    <message>
        <source>Toiming on teostatud. Kviitungi number: %1</source>
        <translation>Операция выполнена. Номер чека: %1</translation>
    </message>
    <message>
        <source>Toiming täitmiseks võetud.</source>
        <translation>Операция принята к выполнению.</translation>
    </message>
    <message>
        <source>Session: %1</source>
        <translation>Сеанс: %1</translation>
    </message>
    <message>
        <source>Tehingu tulemus on teadmata. Enne uut katset kontrollige, kas tehing õnnestus (Menüü &gt; Viimane tehing).</source>
        <translation>Результат операции неизвестен. Прежде чем повторить, проверьте, прошла ли операция (Меню &gt; Последняя операция).</translation>
    </message>
    <message>
        <source>Tehingupäevikusse ei saa kirjutada: teadmata tulemusega makseid ei jälgita. (%1)</source>
        <translation>Не удаётся записать в журнал операций: платежи с неизвестным результатом не отслеживаются. (%1)</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Seaded</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Kassa:</source>
        <translation>Касса:</translation>
    </message>
    <message>
        <source>Aruanne reziim</source>
        <translation>Режим отчётов</translation>
    </message>
    <message>
        <source> KK seaded </source>
        <translation> Платёжный сервер </translation>
    </message>
    <message>
        <source>Aadress:</source>
        <translation>Адрес:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <source>Printer:</source>
        <translation>Принтер:</translation>
    </message>
    <message>
        <source>RAW printer</source>
        <translation>RAW-принтер</translation>
    </message>
    <message>
        <source>Kviitung</source>
        <translation>Чек</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Loobu</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>WindowTexts</name>
    <message>
        <source>Kaardimakse</source>
        <translation>Оплата картой</translation>
    </message>
    <message>
        <source>Tühistamine</source>
        <translation>Сторно</translation>
    </message>
    <message>
        <source>Jootraha</source>
        <translation>Чаевые</translation>
    </message>
    <message>
        <source>Broneering</source>
        <translation>Бронь</translation>
    </message>
    <message>
        <source>Broneeringu lõpetamine</source>
        <translation>Закрытие брони</translation>
    </message>
    <message>
        <source> Kaardimakse </source>
        <translation> Оплата картой </translation>
    </message>
    <message>
        <source> Broneering </source>
        <translation> Бронь </translation>
    </message>
    <message>
        <source> Tühistamine </source>
        <translation> Сторно </translation>
    </message>
    <message>
        <source> Jootraha </source>
        <translation> Чаевые </translation>
    </message>
    <message>
        <source> Broneeringu lõpetamine </source>
        <translation> Закрытие брони </translation>
    </message>
    <message>
        <source>Summa:</source>
        <translation>Сумма:</translation>
    </message>
    <message>
        <source>Kaardi nr.</source>
        <translation>№ карты</translation>
    </message>
    <message>
        <source>Kviitungi nr.</source>
        <translation>№ чека</translation>
    </message>
    <message>
        <source>Kaarditerminal</source>
        <translation>Карточный терминал</translation>
    </message>
    <message>
        <source>Olekurida</source>
        <translation>Строка состояния</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Loobu</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Terminal pole aktiivne.</source>
        <translation>Терминал не активен.</translation>
    </message>
    <message>
        <source>&amp;Menüü</source>
        <translation>&amp;Меню</translation>
    </message>
    <message>
        <source>&amp;Aruanne...</source>
        <translation>&amp;Отчёт...</translation>
    </message>
    <message>
        <source>Eri&amp;toimingud...</source>
        <translation>&amp;Спецоперации...</translation>
    </message>
    <message>
        <source>&amp;Seaded...</source>
        <translation>&amp;Настройки...</translation>
    </message>
    <message>
        <source>&amp;Keel</source>
        <translation>&amp;Язык</translation>
    </message>
    <message>
        <source>&amp;Lõpeta</source>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>Vigane summa.</source>
        <translation>Неверная сумма.</translation>
    </message>
    <message>
        <source>Vigane kviitungi number.</source>
        <translation>Неверный номер чека.</translation>
    </message>
    <message>
        <source>Kassast</source>
        <translation>Из кассы</translation>
    </message>
    <message>
        <source>Kassast: tšekk %1</source>
        <translation>Из кассы: чек %1</translation>
    </message>
    <message>
        <source>Keelevalikut ei saa salvestada: järgmisel käivitamisel valitakse keel uuesti arvuti seadete järgi. (%1)</source>
        <translation>Не удаётся сохранить выбор языка: при следующем запуске язык снова будет выбран по настройкам компьютера. (%1)</translation>
    </message>
</context>
</TS>
