"""The one error the generator reports: a message that names the culprit, then the build stops."""


class GenerationError(Exception):
    pass


def where(path, line_number):
    return f"{path}:{line_number}"
