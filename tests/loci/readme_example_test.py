# Runs the README's examples of simulations (corvane-prepare --ms, the worked example of "Reading the
# results") from a folder laid out like the repository after the build, and holds them to the output
# the README shows.
import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

ARGS = None


def fenced_blocks(text):
    """The README's fenced blocks in order: (info string, body)."""
    return re.findall(r"^```(\w*)\n(.*?)^```$", text, re.MULTILINE | re.DOTALL)


def block_with(blocks, needle):
    """The index of the one sh block that holds NEEDLE."""
    found = [k for k, (info, body) in enumerate(blocks) if info == "sh" and needle in body]
    assert len(found) == 1, "README: expected one sh block with %r, found %d" % (needle, len(found))
    return found[0]


class ReadmeSimulations(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(ARGS.readme) as stream:
            cls.blocks = fenced_blocks(stream.read())
        cls.folder = tempfile.TemporaryDirectory(prefix="corvane-readme-test-")
        os.symlink(ARGS.build, os.path.join(cls.folder.name, "build"))
        os.symlink(ARGS.examples, os.path.join(cls.folder.name, "examples"))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def run_block(self, needle):
        """Runs the sh block holding NEEDLE; returns what it printed and the block the README shows after it."""
        k = block_with(self.blocks, needle)
        done = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", self.blocks[k][1]], cwd=self.folder.name,
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done, self.blocks[k + 1][1]

    def test_ms_conversion_prints_what_the_readme_shows(self):
        done, shown = self.run_block("--ms examples/sim/hard.ms.gz")
        self.assertEqual(done.stderr, shown)

    def test_worked_example_gives_the_loci_the_readme_shows(self):
        done, shown = self.run_block("scan_set()")
        self.assertEqual(done.stdout, shown)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("readme", "build", "examples"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
