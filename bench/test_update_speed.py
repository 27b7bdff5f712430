"""The arithmetic of bench/update_speed.py on a made-up timing log."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import update_speed as us  # noqa: E402


class WireArithmetic(unittest.TestCase):
    def test_wire_time_is_ten_bits_a_byte(self):
        self.assertAlmostEqual(us.wire_us(232), 20138.89, places=2)
        self.assertAlmostEqual(us.wire_us(5), 434.03, places=2)
        self.assertAlmostEqual(us.wire_us(232) + us.wire_us(5), 20572.92, places=2)
        self.assertAlmostEqual(us.wire_us(11, 9600), 11458.33, places=2)

    def test_percentile_is_by_nearest_rank(self):
        values = list(range(1, 101))
        self.assertEqual(us.percentile(values, 0.5), 50)
        self.assertEqual(us.percentile(values, 0.99), 99)
        self.assertEqual(us.percentile([7], 0.99), 7)

    def test_transfer_floor_and_turnaround_of_a_log(self):
        w51, w5, w69 = us.wire_us(232), us.wire_us(5), us.wire_us(72)
        log = []
        t = 1_000_000.0
        # Two flash blocks, then one parameter block; the tool waits 100 us
        # after each flash reply and 5 ms after the parameter reply.
        for code, req in ((51, w51), (51, w51), (50, w69)):
            log.append({"kind": "host-frame", "code": code, "t_us": t + req, "read_us": t,
                        "length": 232 if code == 51 else 72})
            log.append({"kind": "unit-frame", "code": code, "t_us": t + req, "length": 5})
            t += req + w5
            log.append({"kind": "line", "note": "written", "t_us": t})
            t += 100 if code == 51 else 0
        figures = us.analyse(log)
        floor = 2 * (w51 + w5) + w69 + w5 + us.FRAME_SPACE_US
        self.assertAlmostEqual(figures["floor_s"], floor / 1e6, places=9)
        self.assertAlmostEqual(figures["transfer_s"], (2 * (w51 + w5) + w69 + w5 + 200) / 1e6,
                               places=9)
        self.assertAlmostEqual(figures["turn_p50_ms"], 0.1, places=6)
        self.assertAlmostEqual(figures["turn_max_ms"], 0.1, places=6)
        # The second flash reply is followed by the parameter block: apart.
        self.assertAlmostEqual(figures["stage_change_ms"], 0.1, places=6)
        self.assertEqual(figures["replies"], 2)


if __name__ == "__main__":
    unittest.main()
