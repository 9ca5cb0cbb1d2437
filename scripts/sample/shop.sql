-- The sample database of the demo: a small shop of twelve tables. It exercises what a real
-- migration meets: auto-increment keys, composite primary keys, unique and multi-column
-- indexes, DECIMAL prices, dates and timestamps, ENUM columns, TEXT descriptions, pictures as
-- BLOBs, NULLs and non-ASCII text. The data is generated, so every load gives the same rows.
SET NAMES utf8mb4;
DROP DATABASE IF EXISTS shop;
CREATE DATABASE shop CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE shop;

CREATE TABLE categories (
    category_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    parent_id INT NULL,
    UNIQUE KEY uq_category_name (name)
);

CREATE TABLE suppliers (
    supplier_id SMALLINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    company VARCHAR(100) NOT NULL,
    country CHAR(2) NOT NULL DEFAULT 'DE',
    email VARCHAR(120) NULL,
    phone VARCHAR(30) NULL,
    UNIQUE KEY uq_supplier_email (email)
);

CREATE TABLE products (
    product_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    sku CHAR(12) NOT NULL,
    name VARCHAR(120) NOT NULL,
    category_id INT NOT NULL,
    supplier_id SMALLINT UNSIGNED NULL,
    price DECIMAL(10,2) NOT NULL,
    weight_kg FLOAT NULL,
    description TEXT NULL,
    picture MEDIUMBLOB NULL,
    status ENUM('active','discontinued','draft') NOT NULL DEFAULT 'active',
    created_at DATETIME NOT NULL,
    UNIQUE KEY uq_product_sku (sku),
    KEY ix_product_category_price (category_id, price)
);

CREATE TABLE customers (
    customer_id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    first_name VARCHAR(50) NOT NULL,
    last_name VARCHAR(50) NOT NULL,
    email VARCHAR(120) NOT NULL,
    birth_date DATE NULL,
    newsletter TINYINT(1) NOT NULL DEFAULT 0,
    credit_limit DECIMAL(12,2) NULL DEFAULT 1000.00,
    notes TEXT NULL,
    registered DATETIME NOT NULL,
    UNIQUE KEY uq_customer_email (email),
    KEY ix_customer_name (last_name, first_name)
);

CREATE TABLE addresses (
    address_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    customer_id INT UNSIGNED NOT NULL,
    kind ENUM('billing','shipping') NOT NULL,
    street VARCHAR(100) NULL,
    city VARCHAR(60) NULL,
    postal_code VARCHAR(10) NULL,
    country CHAR(2) NULL,
    UNIQUE KEY uq_address_customer_kind (customer_id, kind)
);

CREATE TABLE orders (
    order_id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    customer_id INT UNSIGNED NOT NULL,
    order_date DATETIME NOT NULL,
    status ENUM('new','paid','shipped','cancelled') NOT NULL DEFAULT 'new',
    total DECIMAL(12,2) NOT NULL DEFAULT 0.00,
    shipped_on DATE NULL,
    KEY ix_order_customer_date (customer_id, order_date)
);

CREATE TABLE order_lines (
    order_id BIGINT NOT NULL,
    line_no SMALLINT NOT NULL,
    product_id INT NOT NULL,
    quantity INT NOT NULL DEFAULT 1,
    unit_price DECIMAL(10,2) NOT NULL,
    discount DECIMAL(5,2) NOT NULL DEFAULT 0.00,
    PRIMARY KEY (order_id, line_no),
    KEY ix_order_line_product (product_id)
);

CREATE TABLE payments (
    payment_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    order_id BIGINT NOT NULL,
    paid_at DATETIME NULL,
    amount DECIMAL(12,2) NULL,
    method ENUM('card','transfer','cash') NULL,
    reference VARCHAR(40) NULL,
    UNIQUE KEY uq_payment_reference (reference)
);

CREATE TABLE stock_movements (
    movement_id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    product_id INT NOT NULL,
    moved_on DATE NOT NULL,
    delta INT NOT NULL,
    reason VARCHAR(200) NULL,
    KEY ix_stock_product_day (product_id, moved_on)
);

CREATE TABLE reviews (
    review_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    product_id INT NOT NULL,
    customer_id INT UNSIGNED NULL,
    rating TINYINT UNSIGNED NOT NULL,
    title VARCHAR(100) NULL,
    body MEDIUMTEXT NULL,
    created_at DATETIME NULL
);

CREATE TABLE coupons (
    code VARCHAR(20) NOT NULL PRIMARY KEY,
    percent_off DECIMAL(4,1) NOT NULL,
    valid_from DATE NULL,
    valid_until DATE NULL,
    max_uses SMALLINT NULL DEFAULT 100,
    note VARCHAR(255) NULL
);

CREATE TABLE shop_settings (
    setting_key VARCHAR(64) NOT NULL PRIMARY KEY,
    setting_value VARCHAR(255) NULL,
    updated_at DATETIME NULL
);

-- Names from several alphabets, so that text survives the trip exactly.
CREATE TEMPORARY TABLE first_names (i INT PRIMARY KEY, v VARCHAR(50));
INSERT INTO first_names VALUES
    (0,'Anna'),(1,'José'),(2,'Zoë'),(3,'Łukasz'),(4,'Björn'),(5,'Ælfrida'),(6,'Søren'),
    (7,'Chloé'),(8,'Dmitrij'),(9,'Nguyễn'),(10,'Yūko'),(11,'Ángel'),(12,'Çağla'),(13,'Ольга'),
    (14,'Γιώργος'),(15,'美咲'),(16,'François'),(17,'Jürgen'),(18,'Åsa'),(19,'Peter');
CREATE TEMPORARY TABLE last_names (i INT PRIMARY KEY, v VARCHAR(50));
INSERT INTO last_names VALUES
    (0,'Müller'),(1,'García'),(2,'Øberg'),(3,'Kowalski'),(4,'Dubois'),(5,'Smith'),(6,'Ivanova'),
    (7,'Papadopoulos'),(8,'山田'),(9,'Šimůnek'),(10,'Jensen'),(11,'O''Brien'),(12,'Đorđević'),
    (13,'Nakamura'),(14,'Schröder'),(15,'López');

INSERT INTO categories (name, parent_id) VALUES
    ('Küche', NULL), ('Garten', NULL), ('Werkzeug', NULL), ('Messer & Scheren', 1),
    ('Töpfe', 1), ('Pflanzen', 2), ('Bewässerung', 2), ('Akkugeräte', 3);

INSERT INTO suppliers (company, country, email, phone)
SELECT CONCAT(ELT(1 + seq % 5, 'Nordlicht', 'Sørensen', 'Acier Français', 'Čeština', 'Atlas'),
              ' ', ELT(1 + seq % 3, 'GmbH', 'A/S', 'S.A.'), ' ', seq),
       ELT(1 + seq % 5, 'DE', 'DK', 'FR', 'CZ', 'ES'),
       IF(seq % 4 = 0, NULL, CONCAT('sales', seq, '@supplier.example')),
       IF(seq % 3 = 0, NULL, CONCAT('+49 30 ', 1000 + seq))
FROM seq_1_to_12;

-- A small PNG picture per product; every seventh product has a larger one with zero bytes.
INSERT INTO products (sku, name, category_id, supplier_id, price, weight_kg, description,
                      picture, status, created_at)
SELECT CONCAT('SKU-', LPAD(seq, 8, '0')),
       CONCAT(ELT(1 + seq % 6, 'Kochmesser', 'Gartenschere', 'Gießkanne', 'Bräter',
                  'Akkuschrauber', 'Kräutertopf'), ' Nr. ', seq),
       1 + seq % 8,
       IF(seq % 10 = 0, NULL, 1 + seq % 12),
       ROUND(4.99 + seq * 3.37, 2),
       IF(seq % 9 = 0, NULL, 0.125 * seq),
       IF(seq % 11 = 0, NULL,
          CONCAT('Beschreibung für Artikel ', seq, ': hochwertig, langlebig, spülmaschinenfest. ',
                 REPEAT('Qualität „made in Europe“ – ', 1 + seq % 20))),
       IF(seq % 13 = 0, NULL,
          IF(seq % 7 = 0,
             CONCAT(UNHEX('89504E470D0A1A0A'), REPEAT(UNHEX(CONCAT('00FF', LPAD(HEX(seq), 4, '0'))), 3000)),
             UNHEX('89504E470D0A1A0A0000000D49484452000000010000000108060000001F15C4890000000D4944415478DA63F8CFC0F01F0005000201E2213BC70000000049454E44AE426082'))),
       ELT(1 + seq % 7, 'active', 'active', 'active', 'discontinued', 'active', 'draft', 'active'),
       TIMESTAMP('2021-01-01 08:00:00') + INTERVAL seq * 37 HOUR + INTERVAL seq MINUTE
FROM seq_1_to_60;

INSERT INTO customers (first_name, last_name, email, birth_date, newsletter, credit_limit,
                       notes, registered)
SELECT f.v, l.v, CONCAT('customer', seq, '@mail.example'),
       IF(seq % 8 = 0, NULL, DATE('1950-01-01') + INTERVAL (seq * 97) % 18000 DAY),
       seq % 2,
       IF(seq % 15 = 0, NULL, 500 + (seq % 20) * 250.50),
       IF(seq % 5 = 0, CONCAT('Stammkunde ☺ seit ', 2000 + seq % 20, ' – bevorzugt Lieferung 🚚'), NULL),
       TIMESTAMP('2020-03-01 12:00:00') + INTERVAL seq * 13 HOUR
FROM seq_1_to_200
JOIN first_names f ON f.i = seq % 20
JOIN last_names l ON l.i = (seq * 7) % 16;

INSERT INTO addresses (customer_id, kind, street, city, postal_code, country)
SELECT c.customer_id, k.kind,
       CONCAT(ELT(1 + c.customer_id % 4, 'Hauptstraße ', 'Rue de l''Église ', 'Calle Mayor ', 'Øvre gate '), c.customer_id),
       ELT(1 + c.customer_id % 4, 'München', 'Besançon', 'Málaga', 'Tromsø'),
       LPAD(10000 + c.customer_id * 7, 5, '0'),
       ELT(1 + c.customer_id % 4, 'DE', 'FR', 'ES', 'NO')
FROM customers c
JOIN (SELECT 'billing' AS kind UNION ALL SELECT 'shipping') k
WHERE k.kind = 'billing' OR c.customer_id % 3 = 0;

INSERT INTO orders (customer_id, order_date, status, total, shipped_on)
SELECT 1 + (seq * 31) % 200,
       TIMESTAMP('2022-01-01 09:30:00') + INTERVAL seq * 7 HOUR + INTERVAL seq % 60 SECOND,
       ELT(1 + seq % 4, 'new', 'paid', 'shipped', 'cancelled'),
       0.00,
       IF(seq % 4 = 2, DATE('2022-01-03') + INTERVAL seq * 7 / 24 DAY, NULL)
FROM seq_1_to_500;

INSERT INTO order_lines (order_id, line_no, product_id, quantity, unit_price, discount)
SELECT o.order_id, n.seq, 1 + (o.order_id * 13 + n.seq * 7) % 60, 1 + (o.order_id + n.seq) % 5,
       p.price, IF((o.order_id + n.seq) % 6 = 0, 5.00, 0.00)
FROM orders o
JOIN seq_1_to_4 n ON n.seq <= 1 + o.order_id % 4
JOIN products p ON p.product_id = 1 + (o.order_id * 13 + n.seq * 7) % 60;

UPDATE orders o
JOIN (SELECT order_id, SUM(quantity * unit_price * (100 - discount) / 100) AS s
      FROM order_lines GROUP BY order_id) t ON t.order_id = o.order_id
SET o.total = ROUND(t.s, 2);

INSERT INTO payments (order_id, paid_at, amount, method, reference)
SELECT order_id, order_date + INTERVAL 2 HOUR, total,
       ELT(1 + order_id % 3, 'card', 'transfer', 'cash'),
       IF(order_id % 3 = 2, NULL, CONCAT('PAY-', LPAD(order_id, 10, '0')))
FROM orders WHERE status IN ('paid', 'shipped');

INSERT INTO stock_movements (product_id, moved_on, delta, reason)
SELECT 1 + seq % 60, DATE('2022-01-01') + INTERVAL seq % 700 DAY,
       IF(seq % 5 = 0, 50, -(1 + seq % 3)),
       IF(seq % 5 = 0, 'Wareneingang', IF(seq % 17 = 0, NULL, 'Verkauf'))
FROM seq_1_to_1500;

INSERT INTO reviews (product_id, customer_id, rating, title, body, created_at)
SELECT 1 + (seq * 11) % 60, IF(seq % 12 = 0, NULL, 1 + (seq * 17) % 200), 1 + seq % 5,
       ELT(1 + seq % 5, 'Sehr gut!', 'Très bien', 'Não gostei', '最高です', 'Brilliant 👍'),
       IF(seq % 4 = 0, NULL, REPEAT(CONCAT('Rezension ', seq, ': Lieferung schnell, Qualität top. '), 1 + seq % 40)),
       IF(seq % 10 = 0, NULL, TIMESTAMP('2023-05-01 10:00:00') + INTERVAL seq * 5 HOUR)
FROM seq_1_to_150;

INSERT INTO coupons (code, percent_off, valid_from, valid_until, max_uses, note) VALUES
    ('WELCOME10', 10.0, '2022-01-01', NULL, NULL, 'Neukunden'),
    ('SOMMER-25', 25.0, '2023-06-01', '2023-08-31', 500, 'Sommeraktion ☀'),
    ('BLACKFRIDAY', 33.3, '2023-11-24', '2023-11-27', 1000, NULL),
    ('STAFF', 50.0, NULL, NULL, 100, 'Mitarbeiterrabatt – nicht übertragbar'),
    ('ÉTÉ2024', 15.5, '2024-06-21', '2024-09-22', 250, 'Coupon d''été');

INSERT INTO shop_settings (setting_key, setting_value, updated_at) VALUES
    ('currency', 'EUR', '2022-01-01 00:00:00'),
    ('shop_name', 'Küchen- & Gartenwelt', '2022-01-01 00:00:00'),
    ('vat_percent', '19', '2023-07-01 00:00:00'),
    ('support_email', 'hilfe@shop.example', NULL),
    ('empty_value', '', NULL);

SELECT table_name, table_rows FROM information_schema.tables WHERE table_schema = 'shop' ORDER BY table_name;
