"""The one error the generator reports: a message that names the culprit, then the build stops."""


class GenerationError(Exception):
    pass


def where(path, line_number):
    return f"{path}:{line_number}"


def data_lines(path):
    """The lines of a data file that say something, each with where it stands; '#' starts a comment line."""
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if line and not line.startswith("#"):
                yield where(path, number), line
