// MPD's protocol over any bytes. Input: lines for MPD_HOST, MPD_PORT and
// XDG_RUNTIME_DIR, a line whose length is the longest line to take, then
// what MPD sends. Lines are cut in order without losing a byte, and the file
// MPD holds follows from its state as the protocol says.

#include "../FuzzCheck.h"

#include "MpdProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputLines input(data, size);
    const QString host = QString::fromUtf8(input.take());
    const QString port = QString::fromUtf8(input.take());
    const QString runtimeDir = QString::fromUtf8(input.take());
    const qsizetype maxLine = input.take().size() + 1;
    const QByteArray stream = input.rest();

    for (const MpdProtocol::Address &a : MpdProtocol::addresses(host, port, runtimeDir))
        FUZZ_CHECK(!a.path.isEmpty() || !a.host.isEmpty());

    // Every command's answers in turn, cut as the connection cuts them.
    static const QByteArray commands[] = { "status", "currentsong", "config" };
    MpdProtocol::Answers answers;
    qsizetype from = 0;
    int command = 0;
    QByteArray line;
    for (;;) {
        const qsizetype before = from;
        const MpdProtocol::LineCut cut = MpdProtocol::nextLine(stream, from, line, maxLine);
        if (cut != MpdProtocol::LineCut::Line) {
            FUZZ_CHECK(from == before);
            if (cut == MpdProtocol::LineCut::Partial)
                FUZZ_CHECK(!stream.sliced(before).contains('\n'));
            break;
        }
        FUZZ_CHECK(from > before && from <= stream.size() && stream[from - 1] == '\n');
        FUZZ_CHECK(line.size() <= maxLine && !line.contains('\n'));
        FUZZ_CHECK(stream.sliced(before).startsWith(line));
        (void)MpdProtocol::isGreeting(line);
        if (MpdProtocol::lineKind(line) == MpdProtocol::LineKind::Data)
            MpdProtocol::takeAnswerLine(commands[command], line, answers);
        else
            command = (command + 1) % 3;
    }

    const MpdProtocol::Held held = MpdProtocol::heldFile(answers.state, answers.file, answers.musicFolder);
    const bool playing = answers.state == "play" || answers.state == "pause";
    if (!playing || answers.file.isEmpty() || answers.file.contains("://"))
        FUZZ_CHECK(held.path.isEmpty());
    else
        FUZZ_CHECK(held.path.endsWith(answers.file) && (held.tail || held.path.startsWith('/')));

    // A quoted value is one word of a command line.
    const QByteArray quoted = MpdProtocol::quoted(answers.file);
    FUZZ_CHECK(quoted.size() >= 2 && quoted.startsWith('"') && quoted.endsWith('"'));
    FUZZ_CHECK(MpdProtocol::commandName("status " + quoted) == "status");
    return 0;
}
