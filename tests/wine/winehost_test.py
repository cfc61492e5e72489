#!/usr/bin/env python3
"""How the Wine host tells which loaders can start, without running Wine."""
import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winehost  # noqa: E402

UNRUNNABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "unrunnable-loader")


NOT_32 = "this kernel cannot run 32-bit programs (%s: Exec format error)" % UNRUNNABLE


class LoaderProbe(unittest.TestCase):
    def setUp(self):
        self.saved = dict(os.environ)
        # Where the kernel refuses 32-bit programs, qemu-i386 is tried next:
        # none here, unless a test gives one.
        os.environ["QUILLEX_QEMU_I386"] = "/nonexistent/qemu-i386"
        for variable in ("QUILLEX_WINE32_THROUGH_QEMU", "QUILLEX_UNSHARE"):
            os.environ.pop(variable, None)
        winehost._probed.clear()

    def tearDown(self):
        os.environ.clear()
        os.environ.update(self.saved)
        winehost._probed.clear()

    def probe_with(self, arch, loader):
        os.environ[winehost.LOADER_VARIABLES[arch]] = loader
        return winehost.probe(arch)[:2]

    def test_a_loader_the_kernel_refuses_means_no_support_for_that_width(self):
        self.assertEqual(self.probe_with("i686", UNRUNNABLE), (
            False, NOT_32 + ", and not through qemu-i386 either: /nonexistent/qemu-i386 is not "
            "installed (scripts/install_deps.sh installs qemu-user where 32-bit programs cannot "
            "run)"))
        self.assertEqual(self.probe_with("x86_64", UNRUNNABLE), (
            False, "this kernel cannot run 64-bit programs (%s: Exec format error)" % UNRUNNABLE))

    def test_a_missing_loader_says_how_to_install_it(self):
        self.assertEqual(self.probe_with("i686", "/nonexistent/wine"), (
            False, "/nonexistent/wine is not installed (scripts/install_deps.sh installs it)"))

    def fake_loader(self, script):
        tmp = tempfile.mkdtemp()
        self.addCleanup(lambda: (os.unlink(loader), os.rmdir(tmp)))
        loader = os.path.join(tmp, "wine")
        with open(loader, "w") as f:
            f.write("#!/bin/sh\n" + script)
        os.chmod(loader, stat.S_IRWXU)
        return loader

    def test_a_loader_that_fails_reports_its_exit_code_and_last_words(self):
        loader = self.fake_loader("echo first >&2\necho 'wine: cannot find server' >&2\nexit 3\n")
        self.assertEqual(self.probe_with("i686", loader), (
            False, "%s --version failed with exit code 3: wine: cannot find server" % loader))

    def test_qemu_too_old_or_without_a_namespace_says_why(self):
        os.environ["QUILLEX_QEMU_I386"] = self.fake_loader(
            "echo 'qemu-i386 version 7.2.19 (Debian 1:7.2+dfsg-7+deb12u18)'\n")
        self.assertEqual(self.probe_with("i686", UNRUNNABLE)[1], NOT_32 + (
            ", and not through qemu-i386 either: qemu-i386 7.2.19 is too old: 32-bit Wine takes "
            "45 to 90 s to start a program under 7.2, half a second under 10.0 or later (Debian's "
            "bookworm-backports)"))
        os.environ["QUILLEX_QEMU_I386"] = self.fake_loader("echo 'qemu-i386 version 10.0.2'\n")
        os.environ["QUILLEX_UNSHARE"] = self.fake_loader(
            "echo 'unshare: unshare failed: Operation not permitted' >&2\nexit 1\n")
        self.assertEqual(self.probe_with("i686", UNRUNNABLE)[1], NOT_32 + (
            ", and not through qemu-i386 either: no user namespace: unshare: unshare failed: "
            "Operation not permitted"))

    def test_a_loader_that_starts_gives_its_version(self):
        loader = self.fake_loader("echo 'wine-8.0 (fake)'\n")
        self.assertEqual(self.probe_with("x86_64", loader), (True, "wine-8.0 (fake)"))

    def test_the_demo_falls_back_to_64_bit_with_a_notice(self):
        os.environ["QUILLEX_WINE32_LOADER"] = UNRUNNABLE
        os.environ["QUILLEX_WINE64_LOADER"] = "/bin/true"
        arch, notice = winehost.pick()
        self.assertEqual(arch, "x86_64")
        self.assertEqual(notice, "quillex: running the x86_64 quillex.exe under 64-bit Wine, since "
                         "the i686 one cannot run here: %s, and not through qemu-i386 either: "
                         "/nonexistent/qemu-i386 is not installed (scripts/install_deps.sh "
                         "installs qemu-user where 32-bit programs cannot run)" % NOT_32)

    def test_the_demo_prefers_32_bit_where_it_runs(self):
        os.environ["QUILLEX_WINE32_LOADER"] = "/bin/true"
        os.environ["QUILLEX_WINE64_LOADER"] = "/bin/true"
        self.assertEqual(winehost.pick(), ("i686", None))


class NativeWindowsHost(unittest.TestCase):
    """On Windows the host runs programs itself: what it would run, checked
    here by pretending to be there."""

    def setUp(self):
        winehost._probed.clear()
        winehost.ON_WINDOWS = True

    def tearDown(self):
        winehost.ON_WINDOWS = False
        winehost._probed.clear()

    def test_programs_run_directly_without_a_loader_prefix_or_display(self):
        host = winehost.Host("build/wineprefix")
        self.assertIsInstance(host, winehost.WindowsHost)
        argv = ["C:\\b\\starter.exe", "C:\\b\\quillex.exe", "C:\\t\\cmdline"]
        self.assertEqual(host.command("i686", argv), argv)
        self.assertEqual(host.command("x86_64", argv), argv)
        self.assertEqual(host.env_for("i686"), dict(os.environ))

    def test_both_architectures_run_and_the_demo_takes_i686(self):
        self.assertTrue(winehost.can_run("i686")[0] and winehost.can_run("x86_64")[0])
        self.assertEqual(winehost.pick(), ("i686", None))

    def test_paths_are_passed_as_they_are(self):
        self.assertEqual(winehost.winpath("tests"), os.path.abspath("tests"))


class PrefixLock(unittest.TestCase):
    def test_a_second_run_on_the_same_prefix_is_refused_with_the_first_named(self):
        tmp = tempfile.mkdtemp()
        first, second = (winehost.WineHost.__new__(winehost.WineHost) for _ in range(2))
        first.prefix = second.prefix = os.path.join(tmp, "prefix")
        lock = first._lock_prefix()
        self.addCleanup(lambda: (lock.close(), os.unlink(first.prefix + ".lock"), os.rmdir(tmp)))
        with self.assertRaises(winehost.WineError) as refused:
            second._lock_prefix()
        self.assertEqual(str(refused.exception), (
            "another run (process %d) is using the Wine prefix %s: wait until it has ended, or "
            "give this run a prefix of its own (QUILLEX_WINE_PREFIX)" % (os.getpid(), first.prefix)))


class PeArchitecture(unittest.TestCase):
    def pe(self, machine):
        head = bytearray(512)
        head[0:2] = b"MZ"
        head[0x3C:0x40] = (0x80).to_bytes(4, "little")
        head[0x80:0x84] = b"PE\0\0"
        head[0x84:0x86] = machine.to_bytes(2, "little")
        f = tempfile.NamedTemporaryFile(delete=False)
        f.write(head)
        f.close()
        self.addCleanup(os.unlink, f.name)
        return f.name

    def test_machines_map_to_architectures(self):
        self.assertEqual(winehost.pe_arch(self.pe(0x14C)), "i686")
        self.assertEqual(winehost.pe_arch(self.pe(0x8664)), "x86_64")

    def test_other_files_are_refused(self):
        with self.assertRaises(winehost.WineError):
            winehost.pe_arch(self.pe(0xAA64))
        with self.assertRaises(winehost.WineError):
            winehost.pe_arch(UNRUNNABLE)


if __name__ == "__main__":
    unittest.main()
